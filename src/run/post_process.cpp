#include "run/post_process.h"

#include "command/command_context.h"
#include "platform/child_process.h"
#include "platform/child_wait.h"
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

std::string postProcessWithin(std::string_view container, const std::string& outputPath,
                              const std::string& programFolder, std::chrono::milliseconds limit,
                              const Cancellation* cancellation) {
    std::string problems;
    for (const ToolRun& run : postProcessingRuns(container, outputPath, programFolder)) {
        if (!isFileNotFolder(run.program)) continue;
        std::vector<std::string> argv{run.program};
        argv.insert(argv.end(), run.arguments.begin(), run.arguments.end());
        std::string error;
        const auto child = spawnChild(argv, {}, ChildStreams::Silenced, &error);
        const std::string name(fileNamePart(run.program));
        if (!child) {
            problems += name + ": " + error + "\n";
            continue;
        }
        const std::optional<int> status = waitForChildWithin(child->pid, limit, cancellation);
        if (!status) {
            endChildGroup(child->pid, std::chrono::milliseconds(500));
            if (cancellation != nullptr && cancellation->cancelled()) return problems + name + ": 중지됨\n";
            problems += name + ": " + std::to_string(limit.count() / 1000) + "초 안에 끝나지 않아 종료했습니다\n";
        } else if (*status != 0) {
            problems += name + ": 종료 코드 " + std::to_string(*status) + "\n";
        }
    }
    return problems;
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
