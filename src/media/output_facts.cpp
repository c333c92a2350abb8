#include "media/output_facts.h"

#include "media/mediainfo_library.h"
#include "media/probe_path.h"
#include "settings/text_rules.h"

namespace torvane {

void queryOutputFacts(MediaInfoLibrary& library, const std::string& path, MediaSummary& facts) {
    using Kind = MediaInfoLibrary::StreamKind;
    auto session = library.newSession();
    if (!session) return;
    const ProbePath probePath(path);
    session->open(probePath.path());
    facts.videoStreamCount = leadingInt32(session->get(Kind::Video, "StreamCount"));
    facts.audioStreamCount = leadingInt32(session->get(Kind::Audio, "StreamCount"));
    facts.textStreamCount = leadingInt32(session->get(Kind::Text, "StreamCount"));
    // "Duration" is in milliseconds, with decimals in some containers.
    const std::string duration = session->get(Kind::General, "Duration");
    facts.durationSeconds = leadingInt32(duration) / 1000;
    facts.durationExact = static_cast<float>(leadingInteger(duration)) * 0.001f;
}

}  // namespace torvane
