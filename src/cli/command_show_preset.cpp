#include <iostream>

#include "cli/cli_command.h"
#include "settings/encode_settings.h"

namespace torvane::cli {

int runShowPreset(const CliContext& /*context*/, std::span<const std::string> arguments) {
    if (arguments.size() != 1) return usageError("show-preset", "needs exactly one preset path");
    EncodeSettings settings;
    if (!settings.loadProfile(arguments[0])) return failure("show-preset", "no preset file at " + arguments[0]);
    for (const SettingsKey& key : settingsKeys()) {
        std::cout << key.name << "=" << settings.*key.field << "\n";
    }
    return kExitOk;
}

}  // namespace torvane::cli
