#include "run/post_process.h"

#include "command/command_context.h"
#include "platform/file_system.h"
#include "run/console_child.h"
#include "settings/text_rules.h"

namespace torvane {

std::vector<ToolRun> postProcessingRuns(std::string_view container, const std::string& outputPath,
                                        const std::string& programFolder) {
    const std::string lower = lowerAscii(container);
    if (lower == "flv") return {{joinPath(programFolder, "flvtool2"), {"-U", outputPath}}};
    if (lower == "mp4") {
        const std::string tool = joinPath(programFolder, "mp4creator");
        return {{tool, {"-hint=1", outputPath}}, {tool, {"-hint=2", outputPath}}, {tool, {"-optimize", outputPath}}};
    }
    return {};
}

std::vector<ToolRun> postProcess(std::string_view container, const std::string& outputPath,
                                 const std::string& programFolder) {
    std::vector<ToolRun> made;
    for (ToolRun& run : postProcessingRuns(container, outputPath, programFolder)) {
        if (runHiddenAndWait(run.program, run.arguments)) made.push_back(std::move(run));
    }
    return made;
}

CompletionAction chooseCompletionAction(bool listExhausted, bool stopped, bool powerOffTicked, bool exitTicked,
                                        std::string_view finishAlertOption) {
    if (!listExhausted || stopped) return CompletionAction::None;
    if (powerOffTicked) return CompletionAction::PowerOff;
    if (exitTicked) return CompletionAction::ExitProgram;
    if (isTruthy(finishAlertOption)) return CompletionAction::FinishDialog;
    return CompletionAction::None;
}

}  // namespace torvane
