#pragma once

#include <filesystem>

#include "command/command_context.h"
#include "platform/user_folders.h"
#include "support/test_support.h"

namespace torvane::test {

// A command context with the installed encoders and the build folder as program folder; the
// cache, log and output folders ("cache", "logs", "out") live in the test's own folder.
inline CommandContext realCommandContext(const FormatCatalogue& catalogue, const OptionStore& options,
                                         const TempFolder& folder) {
    CommandContext context;
    context.catalogue = &catalogue;
    context.options = &options;
    context.placeholders = startupPlaceholderValues(buildDir());
    context.ffmpegPath = findProgram(buildDir(), "ffmpeg");
    context.mencoderPath = findProgram(buildDir(), "mencoder");
    context.cacheFolder = folder / "cache";
    context.logFolder = folder / "logs";
    context.output.folder = folder / "out";
    std::filesystem::create_directories(folder / "out");
    return context;
}

}  // namespace torvane::test
