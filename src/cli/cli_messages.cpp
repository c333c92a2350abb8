#include <iostream>

#include "cli/cli_command.h"

namespace torvane::cli {
namespace {

std::string prefix(std::string_view command) {
    return command.empty() ? std::string("torvane-cli: ") : "torvane-cli " + std::string(command) + ": ";
}

}  // namespace

int usageError(std::string_view command, std::string_view message) {
    const std::string help = command.empty() ? "torvane-cli --help" : "torvane-cli " + std::string(command) + " --help";
    std::cerr << prefix(command) << message << " (see " << help << ")\n";
    return kExitUsage;
}

int failure(std::string_view command, std::string_view message) {
    std::cerr << prefix(command) << message << "\n";
    return kExitFailed;
}

}  // namespace torvane::cli
