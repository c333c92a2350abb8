#include "tools/flv_metadata.h"

#include <algorithm>
#include <optional>
#include <set>

#include "tools/amf0.h"
#include "tools/flv_file.h"
#include "tools/safe_rewrite.h"
#include "tools/video_size.h"

namespace posttools {

namespace {

using amf0::Value;
using Members = std::vector<amf0::Member>;

uint8_t byteAt(const std::string& bytes, size_t at) {
    return at < bytes.size() ? static_cast<uint8_t>(bytes[at]) : 0;
}

// A video tag that carries a picture, not a decoder configuration or end of sequence.
bool isPicture(const FlvTag& tag) {
    if (tag.type != 9 || tag.head.empty()) return false;
    const unsigned frameType = byteAt(tag.head, 0) >> 4;
    if (frameType == 5) return false;  // a command, not a frame
    if ((byteAt(tag.head, 0) & 0x0f) == 7 && byteAt(tag.head, 1) != 1) return false;
    return true;
}

bool isKeyframe(const FlvTag& tag) {
    return isPicture(tag) && (byteAt(tag.head, 0) >> 4) == 1;
}

struct Stream {
    size_t count = 0;
    uint64_t bytes = 0;
    uint32_t first = 0;
    uint32_t last = 0;
    std::optional<unsigned> codec;

    void add(const FlvTag& tag, unsigned codecId) {
        if (count == 0) first = tag.timestamp;
        last = std::max(last, tag.timestamp);
        ++count;
        bytes += tag.dataSize;
        if (!codec) codec = codecId;
    }
    // The average time one tag lasts, so the duration covers the last one too.
    double interval() const { return count > 1 ? (last - first) / 1000.0 / static_cast<double>(count - 1) : 0; }
};

// The old onMetaData's entries, kept for what this program does not compute itself.
Members oldEntries(const InputFile& file, const FlvTag& tag) {
    const std::string data = file.read(tag.offset + 11, tag.dataSize);
    size_t at = 0;
    try {
        amf0::read(data, at);  // the name
        Value value = amf0::read(data, at);
        if (value.kind == Value::Kind::Object || value.kind == Value::Kind::EcmaArray) return value.members;
    } catch (const Failure&) {
        // A damaged old onMetaData is replaced whole; nothing in it is worth refusing the file for.
    }
    return {};
}

const Value* findEntry(const Members& members, const std::string& name) {
    auto found = std::find_if(members.begin(), members.end(), [&](const auto& m) { return m.name == name; });
    return found == members.end() ? nullptr : &found->value;
}

struct Facts {
    Stream video, audio, pictures;
    std::optional<PictureSize> size;
    std::vector<size_t> keyframes;  // indexes into the kept tags
    bool lastPictureIsKey = false;
};

Facts gather(const InputFile& file, const std::vector<FlvTag>& tags) {
    Facts facts;
    for (size_t i = 0; i < tags.size(); ++i) {
        const FlvTag& tag = tags[i];
        if (tag.type == 8 && !tag.head.empty()) facts.audio.add(tag, byteAt(tag.head, 0) >> 4);
        if (tag.type != 9 || tag.head.empty()) continue;
        facts.video.add(tag, byteAt(tag.head, 0) & 0x0f);
        if (!facts.size) {
            const bool avcConfig = (byteAt(tag.head, 0) & 0x0f) == 7 && byteAt(tag.head, 1) == 0;
            facts.size = pictureSize(avcConfig ? file.read(tag.offset + 11, tag.dataSize) : tag.head);
        }
        if (!isPicture(tag)) continue;
        facts.pictures.add(tag, 0);
        facts.lastPictureIsKey = isKeyframe(tag);
        if (facts.lastPictureIsKey) facts.keyframes.push_back(i);
    }
    return facts;
}

// The onMetaData body for the kept tags placed from firstTagAt on, the file being fileSize long.
std::string metadataBody(const Facts& facts, const std::vector<FlvTag>& tags, const Members& old, uint64_t firstTagAt,
                         uint64_t fileSize) {
    const bool hasVideo = facts.video.count > 0;
    const bool hasAudio = facts.audio.count > 0;
    const double videoEnd = hasVideo ? facts.video.last / 1000.0 + facts.pictures.interval() : 0;
    const double audioEnd = hasAudio ? facts.audio.last / 1000.0 + facts.audio.interval() : 0;
    const double duration = std::max(videoEnd, audioEnd);
    const uint32_t lastTimestamp = std::max(facts.video.last, facts.audio.last);

    std::vector<Value> positions, times;
    double lastKeyframeTime = 0;
    uint64_t at = firstTagAt;
    size_t next = 0;
    for (size_t i = 0; i < tags.size(); ++i) {
        if (next < facts.keyframes.size() && facts.keyframes[next] == i) {
            positions.push_back(Value::makeNumber(static_cast<double>(at)));
            lastKeyframeTime = tags[i].timestamp / 1000.0;
            times.push_back(Value::makeNumber(lastKeyframeTime));
            ++next;
        }
        at += tags[i].totalSize() + 4;
    }

    Members entries;
    auto add = [&](const char* name, Value value) { entries.push_back({name, std::move(value)}); };
    auto rate = [&](uint64_t bytes) { return duration > 0 ? static_cast<double>(bytes) * 8 / 1000 / duration : 0; };
    add("duration", Value::makeNumber(duration));
    if (hasVideo) {
        if (facts.size) {
            add("width", Value::makeNumber(facts.size->width));
            add("height", Value::makeNumber(facts.size->height));
        } else {
            // A codec whose headers this program does not read: keep what the writer said.
            for (const char* name : {"width", "height"}) {
                if (const Value* value = findEntry(old, name)) add(name, *value);
            }
        }
        const double interval = facts.pictures.interval();
        add("framerate", Value::makeNumber(interval > 0 ? 1 / interval : 0));
        add("videodatarate", Value::makeNumber(rate(facts.video.bytes)));
        add("videocodecid", Value::makeNumber(*facts.video.codec));
    }
    if (hasAudio) {
        add("audiodatarate", Value::makeNumber(rate(facts.audio.bytes)));
        add("audiocodecid", Value::makeNumber(*facts.audio.codec));
    }
    add("filesize", Value::makeNumber(static_cast<double>(fileSize)));
    add("lasttimestamp", Value::makeNumber(lastTimestamp / 1000.0));
    add("lastkeyframetimestamp", Value::makeNumber(lastKeyframeTime));
    add("hasVideo", Value::makeBoolean(hasVideo));
    add("hasAudio", Value::makeBoolean(hasAudio));
    add("hasKeyframes", Value::makeBoolean(!positions.empty()));
    add("hasMetadata", Value::makeBoolean(true));
    add("canSeekToEnd", Value::makeBoolean(facts.lastPictureIsKey));
    add("keyframes", Value::makeObject({{"filepositions", Value::makeArray(std::move(positions))},
                                        {"times", Value::makeArray(std::move(times))}}));

    // The writer's other entries stay, except those that describe byte positions or sizes of
    // the old layout, which would now be wrong.
    static const std::set<std::string> kStale = {"datasize", "videosize", "audiosize", "lastkeyframelocation"};
    std::set<std::string> ours;
    for (const auto& entry : entries) ours.insert(entry.name);
    for (const auto& entry : old) {
        if (!ours.count(entry.name) && !kStale.count(entry.name)) entries.push_back(entry);
    }

    std::string body;
    amf0::write(body, Value::makeString("onMetaData"));
    Value array;
    array.kind = Value::Kind::EcmaArray;
    array.members = std::move(entries);
    amf0::write(body, array);
    return body;
}

}  // namespace

void updateFlvMetadata(const std::string& path) {
    InputFile file(path);
    const FlvLayout layout = readFlv(file);
    Members old;
    std::vector<FlvTag> kept;
    for (const FlvTag& tag : layout.tags) {
        if (isMetadataTag(file, tag)) {
            if (old.empty()) old = oldEntries(file, tag);
        } else {
            kept.push_back(tag);
        }
    }
    const Facts facts = gather(file, kept);

    uint64_t keptSize = 0;
    for (const FlvTag& tag : kept) keptSize += tag.totalSize() + 4;
    // The metadata's size moves every tag after it, and the positions are part of the metadata:
    // start from a guess and repeat until the size the positions assume is the size written.
    const uint64_t headerEnd = layout.header.size() + 4;
    uint64_t guess = 0;
    std::string body;
    for (int round = 0;; ++round) {
        if (round > 8) throw Failure("the metadata size does not settle");
        const uint64_t firstTagAt = headerEnd + 11 + guess + 4;
        body = metadataBody(facts, kept, old, firstTagAt, firstTagAt + keptSize);
        if (body.size() == guess) break;
        guess = body.size();
    }
    if (body.size() > 0xffffff) throw Failure("the metadata would be too large for one tag");

    std::string header = layout.header;
    header[4] = static_cast<char>((facts.audio.count ? 0x04 : 0) | (facts.video.count ? 0x01 : 0));
    Rewrite rewrite(path);
    rewrite.write(header);
    rewrite.write(bigEndian32(0));
    const auto bodySize = static_cast<uint32_t>(body.size());
    rewrite.write(tagHeader(18, bodySize, 0));
    rewrite.write(body);
    rewrite.write(bigEndian32(11 + bodySize));
    for (const FlvTag& tag : kept) {
        rewrite.copy(file, tag.offset, tag.totalSize());
        rewrite.write(bigEndian32(static_cast<uint32_t>(tag.totalSize())));
    }
    rewrite.commit(file.mode());
}

}  // namespace posttools
