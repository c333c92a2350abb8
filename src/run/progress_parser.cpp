#include "run/progress_parser.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "media/source_item.h"
#include "media/source_range.h"
#include "platform/file_system.h"
#include "run/time_size_text.h"
#include "settings/text_rules.h"

namespace torvane {
namespace {

constexpr std::string_view kSavingIndex = "인덱스 저장 중...(완료직전)";

std::string_view trimmed(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

// ffmpeg 6 and later put the muxer's tag before its summary: "[out#0/mp4 @ 0x5581] video:...".
bool isFfmpegSummary(std::string_view line) {
    if (line.starts_with("video:")) return true;
    if (!line.starts_with("[out#")) return false;
    const auto close = line.find("] ");
    return close != std::string_view::npos && line.substr(close + 2).starts_with("video:");
}

std::string percentText(int percent) {
    return std::to_string(percent) + "%";
}

// The whole seconds the encoder's clock runs to: a range's length (at least 1) when only a part of
// the source is converted, as the clock starts at 0 at the range's start; 0 when unknown.
int convertedWholeSeconds(const SourceItem& item) {
    if (!hasRange(item)) return item.media.durationSeconds;
    const double length = convertedSeconds(item);
    return length > 0 ? std::max(static_cast<int>(length), 1) : 0;
}

std::vector<std::string> clockPieces(std::string_view text, char separator) {
    return splitList(text, std::string_view(&separator, 1));
}

}  // namespace

int clockSeconds(std::string_view text) {
    const auto pieces = clockPieces(text, ':');
    if (pieces.size() != 3) return 0;
    return leadingInt32(pieces[0]) * 3600 + leadingInt32(pieces[1]) * 60 + leadingInt32(pieces[2]);
}

float clockSecondsExact(std::string_view text) {
    const int whole = clockSeconds(text);
    const auto pieces = clockPieces(text, '.');
    // The digits after the point are hundredths, so "23.5" counts as 23.05.
    const float fraction =
        pieces.size() == 2 ? static_cast<float>(std::strtod(pieces[1].c_str(), nullptr)) * 0.01f : 0.0f;
    return static_cast<float>(whole) + fraction;
}

void overallProgress(const SourceItem& item, RunProgress& run) {
    if (run.itemCount == 1) {
        run.overallDone = item.doneBytes;
        run.overallPercent = item.percent;
        return;
    }
    run.overallDone = run.finishedBytes + item.doneBytes;
    const std::uint64_t totalThousands = run.totalBytes / 1000;
    // Sources under 1000 bytes together would divide by zero: count them byte by byte then.
    const std::uint64_t percent = totalThousands > 0   ? (run.overallDone / 1000) * 100 / totalThousands
                                  : run.totalBytes > 0 ? run.overallDone * 100 / run.totalBytes
                                                       : 0;
    run.overallPercent = static_cast<int>(std::min<std::uint64_t>(percent, 100));
}

ProgressUpdate ProgressParser::parseLine(std::string_view line, SourceItem& item, RunProgress& run,
                                         const LineContext& context) {
    ProgressUpdate update;
    const bool counting = context.runActive && !context.stopRequested;

    if (isFfmpegSummary(line)) {
        item.percent = 100;
        update.currentPercentText = "100%";
        update.currentBar = 100;
        update.remainingText = "00:00:00";
        update.closingLine = true;
        update.outputMissing = !isNonEmptyFile(item.encodingPath.empty() ? item.outputPath : item.encodingPath);
        update.cellText = update.outputMissing ? "실패" : "100%";
        update.statusText = std::string(kSavingIndex);
        return update;
    }
    if (line.starts_with("frame=") || line.starts_with("size=")) {
        if (!counting) return update;
        int frames = 0;
        float exactSeconds = 0.0f;
        int newPercent = 0;
        std::string cellText;
        if (line.starts_with("frame=")) {
            const auto fps = line.find("fps");
            frames =
                leadingInt32(trimmed(line.substr(6, fps == std::string_view::npos ? std::string_view::npos : fps - 6)));
        }
        std::string_view clock8, clock11;
        if (const auto time = line.find("time="); time != std::string_view::npos) {
            clock8 = line.substr(time + 5, 8);
            clock11 = line.substr(time + 5, 11);
        }
        const double outputSeconds = convertedSeconds(item) / ffmpegSpeed_;
        const int duration = ffmpegSpeed_ == 1.0 ? convertedWholeSeconds(item)
                             : outputSeconds > 0 ? std::max(static_cast<int>(outputSeconds), 1)
                                                 : 0;
        if (duration > 0) {
            int whole = 0;
            if (!clock8.empty()) {
                whole = clockSeconds(clock8);
                exactSeconds = clockSecondsExact(clock11);
            }
            if (whole > 0) {
                newPercent = std::min(whole * 100 / duration, 100);
                cellText = percentText(newPercent);
            } else {
                newPercent = 1;
            }
        } else if (!clock8.empty()) {
            const int elapsed = clockSeconds(clock8);
            exactSeconds =
                line.starts_with("frame=") ? static_cast<float>(clockSeconds(clock11)) : clockSecondsExact(clock11);
            update.cellText = std::to_string(elapsed) + "초";
        }
        if (newPercent < item.percent) return update;
        commonUpdate(newPercent, exactSeconds, outputSeconds, cellText, item, run, context, update);
        std::string status = "변환 중...";
        if (exactSeconds > 0 || frames > 0) status += "(";
        if (frames > 0) status += " " + std::to_string(frames) + " 프레임";
        if (exactSeconds > 0) {
            char seconds[64];
            std::snprintf(seconds, sizeof seconds, " %0.2f 초", static_cast<double>(exactSeconds));
            status += std::string(frames > 0 ? ", " : "") + seconds + ")";
        } else if (frames > 0) {
            status += ")";
        }
        update.statusText = status;
        return update;
    }

    if (line.starts_with("Pos:")) {
        if (!counting) return update;
        float exactSeconds = 0.0f;
        int newPercent = 0;
        std::string cellText;
        if (const auto s = line.find('s', 4); s != std::string_view::npos) {
            exactSeconds =
                static_cast<float>(std::strtod(std::string(trimmed(line.substr(4, s - 4))).c_str(), nullptr));
        }
        const auto open = line.find('(');
        const auto percent = line.find('%');
        if (hasRange(item)) {
            // mencoder's own percent is its place in the whole file; its clock runs over the range.
            if (const double length = convertedSeconds(item); length > 0) {
                newPercent = std::min(static_cast<int>(static_cast<double>(exactSeconds) * 100.0 / length), 100);
                cellText = percentText(newPercent);
            }
        } else if (open != std::string_view::npos && percent != std::string_view::npos && open >= 1 && percent >= 2 &&
                   percent > open + 1) {
            newPercent = std::min(leadingInt32(line.substr(open + 1, percent - open - 1)), 100);
            cellText = percentText(newPercent);
        }
        if (newPercent < item.percent) return update;
        commonUpdate(newPercent, exactSeconds, convertedSeconds(item), cellText, item, run, context, update);
        return update;
    }
    if (line.starts_with("Writing index...")) {
        item.percent = 100;
        update.currentPercentText = "100%";
        update.currentBar = 100;
        update.closingLine = true;
        update.outputMissing = !isNonEmptyFile(item.encodingPath.empty() ? item.outputPath : item.encodingPath);
        update.cellText = update.outputMissing ? "실패" : "100%";
        update.statusText = std::string(kSavingIndex);
    }
    return update;
}

void ProgressParser::commonUpdate(int newPercent, float exactSeconds, double lengthSeconds, const std::string& cellText,
                                  SourceItem& item, RunProgress& run, const LineContext& context,
                                  ProgressUpdate& update) {
    item.percent = newPercent;
    item.doneBytes = item.fileSize / 100 * static_cast<std::uint64_t>(newPercent);
    if (!cellText.empty()) {
        update.cellText = cellText;
        update.currentPercentText = cellText;
        update.currentBar = item.percent;
    }
    // Speed and remaining time at most once a second, however many lines arrive.
    const std::int64_t second = context.nowMs / 1000;
    if (second != lastSecondUsed_) {
        lastSecondUsed_ = second;
        const std::uint32_t elapsedMs = context.nowMs - item.startTick;
        if (exactSeconds > 0 && elapsedMs != 0) {
            const float speed = exactSeconds * 1000.0f / static_cast<float>(elapsedMs);
            char text[64];
            std::snprintf(text, sizeof text, "x%0.2f 배속", static_cast<double>(speed));
            update.speedText = text;
            const auto remaining =
                static_cast<std::int32_t>((static_cast<float>(lengthSeconds) - exactSeconds) / speed);
            update.remainingText = formatDuration(remaining, DurationStyle::Timer);
        }
    }
    overallProgress(item, run);
    update.overallPercentText = percentText(run.overallPercent);
    update.overallBar = run.overallPercent;
}

}  // namespace torvane
