#include "cli/conversion_setup.h"

#include <filesystem>
#include <memory>

#include "media/source_item.h"
#include "media/source_range.h"
#include "platform/file_system.h"
#include "platform/user_folders.h"
#include "settings/program_files.h"
#include "settings/settings_check.h"

namespace torvane::cli {
namespace {

// The value of "--name VALUE" or "--name=VALUE" at arguments[i]; advances i past a separate value.
std::optional<std::string> optionValue(std::span<const std::string> arguments, std::size_t& i, std::string_view name) {
    const std::string& argument = arguments[i];
    if (argument == name) {
        if (i + 1 >= arguments.size()) return std::nullopt;
        return arguments[++i];
    }
    return argument.substr(name.size() + 1);
}

// The --out folder, absolute like the sources (the encoder runs in the program folder), without
// the trailing separator that "dir/" or ".." leave, so that output paths have no doubled one.
std::string outputFolderOf(const std::string& given) {
    std::string folder = sourcePathOf(given);
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return folder;
}

}  // namespace

std::string sourcePathOf(const std::string& given) {
    return std::filesystem::absolute(given).lexically_normal().string();
}

std::optional<ConversionArguments> parseConversionArguments(std::string_view command, const CliContext& context,
                                                            std::span<const std::string> arguments, int* exitCode) {
    ConversionArguments parsed;
    const auto fail = [&](const std::string& message) {
        *exitCode = usageError(command, message);
        return std::nullopt;
    };
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        const auto is = [&](std::string_view name) {
            return argument == name || argument.starts_with(std::string(name) + "=");
        };
        if (!context.mayBeOption(i, argument)) {
            parsed.files.push_back(argument);
        } else if (is("--preset")) {
            const auto value = optionValue(arguments, i, "--preset");
            if (!value || value->empty()) return fail("--preset needs a preset file");
            parsed.presetPath = *value;
        } else if (is("--set")) {
            const auto value = optionValue(arguments, i, "--set");
            const auto equals = value ? value->find('=') : std::string::npos;
            if (equals == std::string::npos) return fail("--set needs name=value");
            const std::string name = value->substr(0, equals);
            if (findSettingsKey(name) == nullptr || name == "profilePath") return fail("no setting named " + name);
            parsed.changes.emplace_back(name, value->substr(equals + 1));
        } else if (is("--out")) {
            const auto value = optionValue(arguments, i, "--out");
            if (!value || value->empty()) return fail("--out needs a folder");
            parsed.outputFolder = *value;
        } else if (argument == "--same-folder") {
            parsed.sameFolder = true;
        } else if (is("--test")) {
            const auto value = optionValue(arguments, i, "--test");
            if (!value || value->empty() || value->find_first_not_of("0123456789") != std::string::npos ||
                value->size() > 6 || std::stoi(*value) <= 0) {
                return fail("--test needs a number of seconds above 0");
            }
            parsed.testSeconds = std::stoi(*value);
        } else if (is("--start") || is("--end")) {
            const bool start = is("--start");
            const char* name = start ? "--start" : "--end";
            const auto value = optionValue(arguments, i, name);
            if (!value || !parseTimeText(*value)) return fail(std::string(name) + " needs seconds or h:mm:ss");
            (start ? parsed.rangeStart : parsed.rangeEnd) = *value;
        } else if (argument == "--no-sound") {
            parsed.noSound = true;
        } else if (is("--shard")) {
            const auto value = optionValue(arguments, i, "--shard");
            parsed.shard = value ? parseShard(*value) : std::nullopt;
            if (!parsed.shard) return fail("--shard needs K/N with 1 <= K <= N, e.g. 2/8");
        } else if (argument == "--json" && command == "convert") {
            parsed.json = true;
        } else if (argument == "--resume" && command == "convert") {
            parsed.resume = true;
        } else if (is("--jobs") && command == "convert") {
            const auto value = optionValue(arguments, i, "--jobs");
            if (!value || value->empty() || value->find_first_not_of("0123456789") != std::string::npos ||
                value->size() > 4 || std::stoi(*value) <= 0) {
                return fail("--jobs needs a number of items above 0");
            }
            parsed.jobs = std::stoi(*value);
        } else {
            return fail("unknown option " + argument);
        }
    }
    if (parsed.resume) {
        // The journal holds the list and the preset: other ones would make another run.
        if (!parsed.files.empty() || !parsed.presetPath.empty() || !parsed.changes.empty() ||
            !parsed.outputFolder.empty() || parsed.sameFolder || parsed.shard || !parsed.rangeStart.empty() ||
            !parsed.rangeEnd.empty() || parsed.noSound) {
            return fail("--resume takes the files, preset, ranges and output folder of the interrupted run: give none");
        }
        return parsed;
    }
    if (parsed.presetPath.empty()) return fail("needs --preset PATH");
    if (parsed.sameFolder && !parsed.outputFolder.empty()) return fail("--out and --same-folder exclude each other");
    if (parsed.files.empty()) return fail("needs at least one file");
    // The other parts are other machines' work: their files are not even looked at here.
    if (parsed.shard)
        std::erase_if(parsed.files, [&](const std::string& file) { return !inShard(file, *parsed.shard); });
    return parsed;
}

bool applyRangeArguments(const ConversionArguments& arguments, SourceItem& item, std::string* problem) {
    const std::optional<SourceRange> range =
        readRange(arguments.rangeStart, arguments.rangeEnd, item.media.durationExact, problem);
    if (!range) return false;
    item.rangeStartSeconds = range->startSeconds;
    item.rangeEndSeconds = range->endSeconds;
    item.keepSound = !arguments.noSound;
    return true;
}

std::unique_ptr<ConversionSetup> prepareConversion(std::string_view command, const CliContext& context,
                                                   const ConversionArguments& arguments, int* exitCode,
                                                   const EncodeSettings* resumed) {
    auto setup = std::make_unique<ConversionSetup>();
    const std::string cataloguePath = catalogueFileOf(context.programFolder);
    if (!setup->catalogue.loadCatalogue(cataloguePath)) {
        *exitCode = failure(command, "no catalogue at " + cataloguePath);
        return nullptr;
    }
    if (resumed != nullptr) {
        setup->settings = *resumed;
    } else if (!setup->settings.loadProfile(arguments.presetPath)) {
        *exitCode = failure(command, "no preset file at " + arguments.presetPath);
        return nullptr;
    }
    // A change made after loading, as the settings dialog would make it.
    for (const auto& [name, value] : arguments.changes) setup->settings.*findSettingsKey(name)->field = value;
    // Preset values become words of the encoder's command line: nothing runs on one that is
    // not what its key means.
    if (const std::optional<std::string> problem = settingsProblem(setup->settings, setup->catalogue)) {
        *exitCode = failure(command, *problem);
        return nullptr;
    }
    setup->options.emplace(context.configFolder);

    CommandContext& commandContext = setup->commandContext;
    commandContext = programCommandContext(context.programFolder, setup->catalogue, *setup->options);
    if (!arguments.outputFolder.empty()) commandContext.output.folder = outputFolderOf(arguments.outputFolder);
    commandContext.output.sameFolderAsSource = arguments.sameFolder;
    commandContext.fullRun = !arguments.testSeconds.has_value();
    commandContext.testEncodeSeconds = arguments.testSeconds.value_or(0);
    return setup;
}

}  // namespace torvane::cli
