#pragma once

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "cli/cli_command.h"
#include "cli/shard.h"
#include "command/command_context.h"
#include "settings/encode_settings.h"
#include "settings/format_catalogue.h"
#include "settings/option_store.h"

namespace torvane {
struct SourceItem;
}

namespace torvane::cli {

// The arguments "command" and "convert" share: a preset, field changes, the output folder,
// the test-encode length and the files.
struct ConversionArguments {
    std::string presetPath;
    std::vector<std::pair<std::string, std::string>> changes;  // --set name=value
    std::string outputFolder;
    bool sameFolder = false;
    std::optional<int> testSeconds;
    // --start, --end (seconds or h:mm:ss) and --no-sound: the part of every file to convert.
    std::string rangeStart;
    std::string rangeEnd;
    bool noSound = false;
    // --shard K/N: only the files of that part of the list are kept in `files`.
    std::optional<Shard> shard;
    // --json (convert only): the run is reported as one JSON object per line.
    bool json = false;
    // --resume (convert only): the list, preset and output folder of the interrupted run the
    // queue journal holds, instead of files and a preset.
    bool resume = false;
    // --jobs N (convert only): items encoding at once for this run, instead of the "parallel"
    // option; more than the processors counts as their number.
    std::optional<int> jobs;
    // The files named, as given; with --shard, only those of the shard.
    std::vector<std::string> files;
};

// Parses the arguments; on a usage error prints it and returns nullopt with *exitCode set.
std::optional<ConversionArguments> parseConversionArguments(std::string_view command, const CliContext& context,
                                                            std::span<const std::string> arguments, int* exitCode);

// The path the list gets for a file named on the command line: absolute, since the encoder
// runs in the program folder and a relative name must not reach it.
std::string sourcePathOf(const std::string& given);

// Gives the added item the range and sound of the arguments, checked against its duration;
// false with the reason in *problem when they make no range for it.
bool applyRangeArguments(const ConversionArguments& arguments, SourceItem& item, std::string* problem);

// Everything a conversion needs, loaded for one command.
struct ConversionSetup {
    FormatCatalogue catalogue;
    EncodeSettings settings;
    std::optional<OptionStore> options;
    CommandContext commandContext;
};

// Loads the catalogue and the preset, applies the changes and fills the command context;
// on failure prints why and returns nullptr with *exitCode set.
// `resumed`, when given, are the settings of a journal to go on with instead of the preset.
std::unique_ptr<ConversionSetup> prepareConversion(std::string_view command, const CliContext& context,
                                                   const ConversionArguments& arguments, int* exitCode,
                                                   const EncodeSettings* resumed = nullptr);

}  // namespace torvane::cli
