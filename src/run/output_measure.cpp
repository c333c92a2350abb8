#include "run/output_measure.h"

#include <cstdio>
#include <vector>

#include "platform/child_process.h"

namespace torvane {

void readFfmpegMeasure(std::string_view output, MediaSummary& facts) {
    int video = 0;
    int audio = 0;
    // Only the input's streams count: the null output lists its own after "Output #0".
    const std::string_view input = output.substr(0, output.find("Output #0"));
    for (std::size_t at = input.find("Stream #0:"); at != std::string_view::npos;
         at = input.find("Stream #0:", at + 1)) {
        const std::string_view rest = input.substr(at, input.find('\n', at) - at);
        if (rest.find(": Video: ") != std::string_view::npos) ++video;
        if (rest.find(": Audio: ") != std::string_view::npos) ++audio;
    }
    if (video + audio == 0) return;
    // The closing status line is the last one with "time=".
    const std::size_t time = output.rfind("time=");
    if (time == std::string_view::npos) return;
    int hours = 0;
    int minutes = 0;
    double seconds = 0;
    const std::string clock(output.substr(time + 5, 16));
    if (std::sscanf(clock.c_str(), "%d:%d:%lf", &hours, &minutes, &seconds) != 3) return;
    facts.videoStreamCount = video;
    facts.audioStreamCount = audio;
    facts.durationExact = static_cast<float>(hours * 3600 + minutes * 60 + seconds);
    facts.durationSeconds = static_cast<std::int32_t>(facts.durationExact);
}

void measureOutputWithFfmpeg(const std::string& ffmpegPath, const std::string& path, std::chrono::milliseconds limit,
                             MediaSummary& facts) {
    const std::vector<std::string> argv = {ffmpegPath, "-nostdin", "-hide_banner", "-i", path,   "-map",
                                           "0",        "-c",       "copy",         "-f", "null", "-"};
    readFfmpegMeasure(collectOutputWithin(argv, limit), facts);
}

}  // namespace torvane
