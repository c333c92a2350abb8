#include "run/failure_reason.h"

#include <initializer_list>
#include <vector>

namespace torvane {
namespace {

constexpr std::size_t kMaxDetailBytes = 240;

// The beginnings of the lines every run prints: progress, headers, closing words, mencoder's
// stages and statistics.
constexpr std::string_view kRoutineStarts[] = {"frame=",
                                               "size=",
                                               "Pos:",
                                               "video:",
                                               "Input #",
                                               "Output #",
                                               "Stream mapping:",
                                               "Press [q]",
                                               "ffmpeg version",
                                               "built with",
                                               "configuration:",
                                               "Conversion failed!",
                                               "Exiting...",
                                               "Qavg",
                                               "MEncoder ",
                                               "MPlayer ",
                                               "Skipping frame",
                                               "Flushing video",
                                               "Writing index",
                                               "Writing header",
                                               "Video stream:",
                                               "Audio stream:",
                                               "Duplicate frame",
                                               "Guessed Channel Layout"};

// The beginnings of tagged lines that are notes, not complaints: x264's settings and closing
// statistics, the audio encoder's average quantiser, a demuxer's remark on how it was opened.
constexpr std::string_view kTaggedNotes[] = {"frame I:",
                                             "frame P:",
                                             "frame B:",
                                             "consecutive B-frames",
                                             "mb I",
                                             "mb P",
                                             "mb B",
                                             "8x8 transform",
                                             "coded y",
                                             "i16 ",
                                             "i8 ",
                                             "i4 ",
                                             "i8c ",
                                             "Weighted P",
                                             "ref P",
                                             "ref B",
                                             "kb/s:",
                                             "final ratefactor",
                                             "direct mvs",
                                             "field mbs",
                                             "SSIM",
                                             "PSNR",
                                             "using ",
                                             "profile ",
                                             "264 - core",
                                             "Qavg",
                                             "Protocol name not provided"};

template <typename Texts>
bool startsWithAny(std::string_view text, const Texts& prefixes) {
    for (const std::string_view prefix : prefixes) {
        if (text.starts_with(prefix)) return true;
    }
    return false;
}

bool containsAny(std::string_view text, std::initializer_list<std::string_view> parts) {
    for (const std::string_view part : parts) {
        if (text.find(part) != std::string_view::npos) return true;
    }
    return false;
}

bool isHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// "[libx264 @ 0x55ca72f24580] width ..." -> "[libx264] width ...": the address tells a reader
// nothing, and differs in every run.
std::string withoutAddresses(std::string_view line) {
    std::string result;
    std::size_t at = 0;
    while (true) {
        const std::size_t mark = line.find(" @ 0x", at);
        if (mark == std::string_view::npos) break;
        std::size_t end = mark + 5;
        while (end < line.size() && isHexDigit(line[end])) ++end;
        const bool inTag = end > mark + 5 && end < line.size() && line[end] == ']';
        result.append(line.substr(at, (inTag ? mark : end) - at));
        at = end;
    }
    result.append(line.substr(at));
    return result;
}

std::string_view trimmed(std::string_view text, std::string_view blanks = " \t") {
    const auto first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

// The message of a line after its "[tag]" prefixes.
std::string_view messageOf(std::string_view line) {
    while (line.starts_with('[')) {
        const auto close = line.find(']');
        if (close == std::string_view::npos) break;
        line = trimmed(line.substr(close + 1));
    }
    return line;
}

// Progress, headers, statistics and closing words: what every run prints, failed or not.
bool isRoutine(std::string_view raw, std::string_view line) {
    // ffmpeg indents its header blocks: stream lists, metadata "key : value", stream mapping,
    // the library versions, the encoders' settings.
    if (raw.starts_with(' ') || raw.starts_with('\t')) return true;
    if (line.size() < 2) return true;
    if (startsWithAny(line, kRoutineStarts)) return true;
    if (containsAny(line, {"] Qavg", "frames left in the queue", "muxing overhead"})) return true;
    // "encoder : Lavc59.37.100 aac", "encoder         : Lavf59.27.100"
    if (const auto at = line.find("encoder "); at != std::string_view::npos) {
        const auto colon = line.find_first_not_of(' ', at + 7);
        if (colon != std::string_view::npos && line[colon] == ':') return true;
    }
    // An encoder's closing statistics and opening notes, tagged like its errors.
    if (line.starts_with('[')) {
        const std::string_view message = messageOf(line);
        if (startsWithAny(message, kTaggedNotes)) return true;
    }
    return false;
}

// Words of a failure. A decoder's complaints about damaged pictures are not: ffmpeg conceals
// them and goes on.
bool isTelling(std::string_view line) {
    const std::string_view message = messageOf(line);
    if (containsAny(message, {"error while decoding", "concealing", "corrupt decoded", "unavailable"})) return false;
    return containsAny(line, {"Error",           "error",          "Invalid",
                              "invalid",         "No such",        "Permission denied",
                              "No space left",   "FATAL",          "Cannot",
                              "cannot",          "Could not",      "could not",
                              "Failed",          "failed",         "Unable",
                              "unable",          "Unknown",        "not found",
                              "not supported",   "not recognized", "Unrecognized",
                              "Not a directory", "Is a directory", "Read-only file system",
                              "Disk quota"});
}

struct Line {
    std::string text;  // without addresses and mencoder's "=====" frames
    bool routine = false;
    bool telling = false;
    bool afterInput = false;  // a source had been opened when it was printed
};

std::vector<Line> linesOf(std::string_view tail) {
    std::vector<Line> lines;
    bool inputOpened = false;
    std::size_t start = 0;
    while (start < tail.size()) {
        std::size_t end = tail.find_first_of("\r\n", start);
        if (end == std::string_view::npos) end = tail.size();
        const std::string_view raw = tail.substr(start, end - start);
        start = end + 1;
        const std::string_view bare = trimmed(raw, " \t=");
        if (bare.empty()) continue;
        Line line;
        line.text = withoutAddresses(bare);
        line.routine = isRoutine(raw, line.text);
        line.telling = !line.routine && isTelling(line.text);
        line.afterInput = inputOpened;
        if (bare.starts_with("Input #") || bare.starts_with("frame=") || bare.starts_with("Pos:")) inputOpened = true;
        lines.push_back(std::move(line));
    }
    return lines;
}

std::string shortened(std::string text) {
    if (text.size() <= kMaxDetailBytes) return text;
    std::size_t cut = kMaxDetailBytes;
    // Never in the middle of a UTF-8 sequence.
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    text.resize(cut);
    return text + "…";
}

// The first line holding one of the parts, trying the parts in order.
const Line* firstWith(const std::vector<Line>& lines, std::initializer_list<std::string_view> parts) {
    for (const std::string_view part : parts) {
        for (const Line& line : lines) {
            if (!line.routine && line.text.find(part) != std::string::npos) return &line;
        }
    }
    return nullptr;
}

// The line that says what went wrong: the first failure the encoder reported, or the tagged
// line just before it when that one is only ffmpeg's summary ("Error initializing output
// stream ...") of what the tagged line said ("[libx264] width not divisible by 2").
const Line* tellingLine(const std::vector<Line>& lines) {
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (!lines[i].telling) continue;
        if (!lines[i].text.starts_with('[') && i > 0 && !lines[i - 1].routine && lines[i - 1].text.starts_with('['))
            return &lines[i - 1];
        return &lines[i];
    }
    return nullptr;
}

std::string withDetail(std::string_view cause, const Line* line) {
    if (line == nullptr) return std::string(cause);
    return std::string(cause) + " (" + shortened(line->text) + ")";
}

}  // namespace

std::string explainEncoderFailure(std::string_view outputTail, int exitStatus, std::string_view encoderName) {
    // A signal ended it: whatever it printed before was cut short and tells less than that.
    constexpr int kHighestSignal = 64;
    if (exitStatus > 128 && exitStatus <= 128 + kHighestSignal) {
        return "인코더가 신호 " + std::to_string(exitStatus - 128) + "로 강제 종료되었습니다";
    }
    const std::vector<Line> lines = linesOf(outputTail);
    if (const Line* line = firstWith(lines, {"No space left on device", "Disk quota exceeded"})) {
        return withDetail("저장 공간이 부족합니다", line);
    }
    if (const Line* line = firstWith(lines, {"Permission denied", "Read-only file system"})) {
        // Before any source was opened it is the source that cannot be read.
        return withDetail(line->afterInput ? "쓰기 권한이 없습니다" : "입력 파일을 읽을 권한이 없습니다", line);
    }
    if (const Line* line = firstWith(lines, {"Invalid data found when processing input", "moov atom not found",
                                             "format is not recognized", "Cannot open demuxer"})) {
        return withDetail("입력 파일이 손상되었습니다", line);
    }
    if (const Line* line = firstWith(lines, {"Cannot open output file"})) {
        return withDetail("출력 파일을 만들 수 없습니다", line);
    }
    if (const Line* line = tellingLine(lines)) return shortened(line->text);
    if (exitStatus == 0) return {};
    return (encoderName.empty() ? std::string("인코더") : std::string(encoderName)) + " 종료 코드 " +
           std::to_string(exitStatus);
}

}  // namespace torvane
