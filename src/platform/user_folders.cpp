#include "platform/user_folders.h"

#include <unistd.h>
#include <cstdlib>

#include "platform/file_system.h"
#include "platform/ini_file.h"

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

std::string defaultCacheFolder() {
    if (std::string base = environmentValue("XDG_CACHE_HOME"); base.starts_with('/')) return joinPath(base, "torvane");
    return joinPath(joinPath(homeFolder(), ".cache"), "torvane");
}

std::string defaultStateFolder() {
    if (std::string base = environmentValue("XDG_STATE_HOME"); base.starts_with('/')) return joinPath(base, "torvane");
    return joinPath(joinPath(joinPath(homeFolder(), ".local"), "state"), "torvane");
}

std::string documentsFolder() {
    const std::string home = homeFolder();
    std::string configHome = environmentValue("XDG_CONFIG_HOME");
    if (!configHome.starts_with('/')) configHome = joinPath(home, ".config");
    // user-dirs.dirs is a shell fragment: XDG_DOCUMENTS_DIR="$HOME/Documents".
    const auto bytes = readFileBytes(joinPath(configHome, "user-dirs.dirs"), 64 * 1024);
    if (bytes) {
        std::string_view rest = *bytes;
        while (!rest.empty()) {
            const auto end = rest.find('\n');
            std::string_view line = rest.substr(0, end);
            rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end + 1);
            constexpr std::string_view kKey = "XDG_DOCUMENTS_DIR=";
            if (!line.starts_with(kKey)) continue;
            line.remove_prefix(kKey.size());
            if (line.size() >= 2 && line.front() == '"' && line.back() == '"') line = line.substr(1, line.size() - 2);
            std::string folder(line);
            if (folder.starts_with("$HOME")) folder = home + folder.substr(5);
            if (folder.starts_with('/') && folder != home && folder != home + "/") return folder;
        }
    }
    return joinPath(home, "Documents");
}

std::string defaultOutputFolder() {
    return joinPath(documentsFolder(), "Torvane");
}

std::string findProgram(const std::string& programFolder, const std::string& name) {
    const auto executable = [](const std::string& path) {
        return isFileNotFolder(path) && ::access(path.c_str(), X_OK) == 0;
    };
    if (const std::string local = joinPath(programFolder, name); executable(local)) return local;
    const std::string path = environmentValue("PATH");
    std::string_view rest = path;
    while (true) {
        const auto colon = rest.find(':');
        const std::string_view folder = rest.substr(0, colon);
        if (!folder.empty()) {
            if (const std::string candidate = joinPath(folder, name); executable(candidate)) return candidate;
        }
        if (colon == std::string_view::npos) break;
        rest.remove_prefix(colon + 1);
    }
    return {};
}

}  // namespace torvane
