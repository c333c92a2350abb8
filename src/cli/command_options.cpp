#include <iostream>

#include "cli/cli_command.h"
#include "settings/option_store.h"

namespace torvane::cli {

int runOptions(const CliContext& context, std::span<const std::string> arguments) {
    if (arguments.size() > 2) return usageError("options", "takes at most a name and a value");
    const OptionStore store(context.configFolder);
    const auto valueOf = [&](const OptionDefinition& option) {
        return store.getOption(option.name, defaultOptionValue(option, context.programFolder));
    };

    if (arguments.empty()) {
        for (const OptionDefinition& option : knownOptions())
            std::cout << option.name << "=" << valueOf(option) << "\n";
        return kExitOk;
    }
    const OptionDefinition* option = findOption(arguments[0]);
    if (option == nullptr) return usageError("options", "unknown option " + arguments[0]);
    if (arguments.size() == 1) {
        std::cout << valueOf(*option) << "\n";
        return kExitOk;
    }
    if (!store.setOption(option->name, arguments[1])) {
        return failure("options", "cannot write the option store in " + store.folder());
    }
    return kExitOk;
}

}  // namespace torvane::cli
