#include <iostream>

#include "cli/cli_command.h"
#include "media/mediainfo_library.h"

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

MediaInfoLibrary* mediaInfoOrReport(std::string_view command) {
    MediaInfoLibrary& library = MediaInfoLibrary::instance();
    if (library.isLoaded()) return &library;
    std::cerr << prefix(command) << "the MediaInfo library cannot be used (" << library.loadError()
              << "); install the Debian package " << MediaInfoLibrary::kDebianPackage << "\n";
    return nullptr;
}

int failure(std::string_view command, std::string_view message) {
    std::cerr << prefix(command) << message << "\n";
    return kExitFailed;
}

}  // namespace torvane::cli
