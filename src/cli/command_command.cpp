#include <filesystem>
#include <iostream>

#include "cli/conversion_setup.h"
#include "command/encoder_choice.h"
#include "command/subtitle_use.h"
#include "media/mediainfo_library.h"
#include "run/add_source_file.h"
#include "run/run_observer.h"
#include "run/source_list.h"
#include "run/subtitle_preparation.h"

namespace torvane::cli {
namespace {

// Prints what the list would show in a message box.
class PrintingObserver : public RunObserver {
public:
    explicit PrintingObserver(std::string path) : path_(std::move(path)) {}
    void showMessage(std::string_view, std::string_view text, MessageIcon) override {
        std::cerr << "torvane-cli command: " << path_ << ": " << text << "\n";
        shown = true;
    }
    bool askYesNo(std::string_view, std::string_view) override { return false; }
    bool shown = false;

private:
    std::string path_;
};

}  // namespace

int runCommand(const CliContext& context, std::span<const std::string> arguments) {
    int exitCode = kExitOk;
    const auto parsed = parseConversionArguments("command", context, arguments, &exitCode);
    if (!parsed) return exitCode;
    const auto setup = prepareConversion("command", context, *parsed, &exitCode);
    if (!setup) return exitCode;

    MediaInfoLibrary* binding = mediaInfoOrReport("command");
    if (binding == nullptr) return kExitLibraryMissing;
    MediaInfoLibrary& library = *binding;
    SourceList list;
    bool anyRefused = false;
    for (const std::string& given : parsed->files) {
        const std::string path = sourcePathOf(given);
        PrintingObserver observer(given);
        if (!addSourceFile(list, path, library, observer, nullptr)) {
            if (!observer.shown)
                std::cerr << "torvane-cli command: " << path << ": not added: missing, unreadable, empty or a folder\n";
            anyRefused = true;
            continue;
        }
        std::string problem;
        if (!applyRangeArguments(*parsed, *list.item(list.rowCount() - 1), &problem)) {
            std::cerr << "torvane-cli command: " << given << ": " << problem << "\n";
            list.selectOnly(list.rowCount() - 1);
            list.removeSelected();
            anyRefused = true;
        }
    }
    for (std::size_t row = 0; row < list.rowCount(); ++row) {
        SourceItem& item = *list.item(row);
        std::cout << buildCommandLine(setup->settings, item, row, setup->commandContext) << "\n";
        // The command names the user's subtitle; a run gives the encoder its prepared copy.
        const Encoder encoder = chooseEncoder(
            setup->settings, item, setup->commandContext.catalogue->findContainer(setup->settings.container));
        const SubtitleUse use = subtitleUse(setup->settings, item, encoder);
        if (subtitlePreparation(setup->settings, item, use, encoder) != SubtitlePreparation::None) {
            std::cerr << "torvane-cli command: " << item.sourcePath << ": " << subtitleUseText(use, item)
                      << " (변환할 때는 UTF-8로 바꾸고 시각을 맞춘 사본을 씁니다)\n";
        }
    }
    return anyRefused ? kExitFailed : kExitOk;
}

}  // namespace torvane::cli
