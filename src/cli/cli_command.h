#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

namespace torvane {
class MediaInfoLibrary;
}

namespace torvane::cli {

// What every command gets: the global options, already resolved.
struct CliContext {
    std::string programFolder;
    std::string configFolder;
    // Arguments from this index on came after "--": they are never options.
    std::size_t positionalFrom = static_cast<std::size_t>(-1);

    bool mayBeOption(std::size_t argumentIndex, std::string_view argument) const {
        return argumentIndex < positionalFrom && argument.size() > 1 && argument.front() == '-';
    }
};

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

struct CliCommand {
    std::string_view name;
    std::string_view summary;
    std::string_view usage;  // the lines after "Usage: torvane-cli "
    int (*run)(const CliContext& context, std::span<const std::string> arguments);
};

// Prints "torvane-cli COMMAND: message" and a hint to stderr; returns kExitUsage.
int usageError(std::string_view command, std::string_view message);

inline constexpr int kExitLibraryMissing = 3;
// The process-wide MediaInfo binding; nullptr, after a line naming the library and its Debian
// package, when it cannot be used.
MediaInfoLibrary* mediaInfoOrReport(std::string_view command);
// Prints "torvane-cli COMMAND: message" to stderr; returns kExitFailed.
int failure(std::string_view command, std::string_view message);

int runPresets(const CliContext& context, std::span<const std::string> arguments);
int runShowPreset(const CliContext& context, std::span<const std::string> arguments);
int runFormats(const CliContext& context, std::span<const std::string> arguments);
int runOptions(const CliContext& context, std::span<const std::string> arguments);
int runProbe(const CliContext& context, std::span<const std::string> arguments);
int runCommand(const CliContext& context, std::span<const std::string> arguments);
int runConvert(const CliContext& context, std::span<const std::string> arguments);
int runUpdate(const CliContext& context, std::span<const std::string> arguments);

}  // namespace torvane::cli
