#include "platform/user_folders.h"

#include <cstdlib>

#include "platform/file_system.h"

namespace torvane {
namespace {

std::string environmentValue(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::string() : std::string(value);
}

}  // namespace

std::string defaultConfigFolder() {
    if (std::string folder = environmentValue("TORVANE_CONFIG_DIR"); !folder.empty()) return folder;
    // The XDG rules ignore a relative XDG_CONFIG_HOME.
    if (std::string base = environmentValue("XDG_CONFIG_HOME"); base.starts_with('/')) {
        return joinPath(base, "torvane");
    }
    return joinPath(joinPath(homeFolder(), ".config"), "torvane");
}

}  // namespace torvane
