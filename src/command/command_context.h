#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "command/output_naming.h"
#include "command/placeholders.h"
#include "settings/text_rules.h"

namespace torvane {

class EncodeSettings;
class FormatCatalogue;
class OptionStore;
struct SourceItem;

// What a command builder needs besides the settings and the item: the catalogue, the
// application options (read at the moment of use), the start-up values, the encoders found,
// the output folder and the run's test-encode limit.
struct CommandContext {
    const FormatCatalogue* catalogue = nullptr;
    const OptionStore* options = nullptr;
    PlaceholderValues placeholders;
    std::string ffmpegPath;  // the encoder the command line names
    std::string mencoderPath;
    std::string cacheFolder;  // where the logo copy goes; never the program folder
    std::string logFolder;    // where each item's encoder output is kept; empty: not kept
    OutputFolderChoice output;
    bool fullRun = true;  // false for a test encode of testEncodeSeconds
    int testEncodeSeconds = 0;
    unsigned launchCounter = 0;  // with the row index, names a Flash source's frame pipe
    // Threads ffmpeg's encoders may use ("-threads"), when several items encode at once and share
    // the processors; 0 leaves the choice to ffmpeg.
    unsigned encoderThreads = 0;
    // When set, the encoder writes a hidden temporary named with this tag beside the output.
    std::string temporaryOutputTag;
    // Prepares a Flash source before its ffmpeg command is built (work copy, extracted sound).
    std::function<void(SourceItem& item, std::size_t row)> prepareFlashSource;
};

// A context for a program folder: the encoders found there or on PATH (a missing one is still
// named, so a run says which one it could not start), the user's cache folder, and the default
// output folder. The run's own choices (output folder, test run) are the caller's to set.
CommandContext programCommandContext(const std::string& programFolder, const FormatCatalogue& catalogue,
                                     const OptionStore& options);

// The output formats that carry sound only; ffmpeg writes them all.
bool isAudioOnlyContainer(std::string_view container);

// The rate an encoder is given for a frame-rate text: the NTSC rates that MediaInfo writes with
// three decimals ("29.970") become the exact fractions ("30000/1001") that MPEG encoders
// require; every other text is passed on unchanged.
std::string encoderFrameRate(std::string_view rate);

// The speed the settings ask for ("속도 변경"): 1 when it is off or not a number above 0.
double chosenSpeed(const EncodeSettings& settings);

// The id of a Flash item's frame pipe: the launch number and the row, then this process's id,
// since two programs converting at once must not meet on one pipe.
std::string framePipeId(unsigned launchCounter, std::size_t row);

// The frame pipe a Flash source's frames come through, named Torvane<pipeId>.
std::string framePipePath(std::string_view pipeId);

}  // namespace torvane
