#pragma once

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

namespace torvane {

// One post-processing run: the tool (in the program folder) and its arguments.
struct ToolRun {
    std::string program;
    std::vector<std::string> arguments;
};

// The tools a finished output gets by its container (compared without case): flvtool2 -U for
// FLV; mp4creator -hint=1, -hint=2, then -optimize for MP4; nothing for the rest.
std::vector<ToolRun> postProcessingRuns(std::string_view container, const std::string& outputPath,
                                        const std::string& programFolder);

// Runs them one after the other, hidden; a missing tool is skipped. Returns the runs made.
std::vector<ToolRun> postProcess(std::string_view container, const std::string& outputPath,
                                 const std::string& programFolder);

class Cancellation;

// postProcess for a run: each tool gets at most `limit` (a hung tool is ended, with its group)
// and a raised cancellation ends the one running. Returns what went wrong, one line per tool
// that did not end well; empty when every tool ended with 0 or was missing.
std::string postProcessWithin(std::string_view container, const std::string& outputPath,
                              const std::string& programFolder, std::chrono::milliseconds limit,
                              const Cancellation* cancellation);

enum class CompletionAction { None, PowerOff, ExitProgram, FinishDialog };

// What follows a run: nothing after a stop or an unfinished list; else the power-off
// countdown, else the program's exit, else the finish dialog when "finishalert" counts as on.
CompletionAction chooseCompletionAction(bool listExhausted, bool stopped, bool powerOffTicked, bool exitTicked,
                                        std::string_view finishAlertOption);

}  // namespace torvane
