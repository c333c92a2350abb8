#include "tools/mp4_hint.h"

#include <algorithm>

#include "tools/mp4_layout.h"
#include "tools/mp4_samples.h"
#include "tools/rtp_packets.h"
#include "tools/rtp_sdp.h"

namespace posttools {

namespace {

// Big-endian, width bytes; widths over 8 are zero padding in front.
void put(std::string& out, uint64_t value, size_t width) {
    for (size_t i = width; i > 0; --i) {
        out.push_back(i > 8 ? '\0' : static_cast<char>((value >> (8 * (i - 1))) & 0xff));
    }
}

std::unique_ptr<Box> leaf(const char* type, std::string payload) {
    auto box = std::make_unique<Box>();
    box->type = type;
    box->payload = std::move(payload);
    return box;
}

std::unique_ptr<Box> container(const char* type) {
    auto box = std::make_unique<Box>();
    box->type = type;
    box->container = true;
    return box;
}

std::string boxBytes(const char* type, const std::string& payload) {
    std::string out;
    put(out, payload.size() + 8, 4);
    out += type;
    return out + payload;
}

struct HintSamples {
    std::vector<std::string> samples;
    std::vector<uint32_t> durations;  // in the RTP clock
    uint32_t maxPacket = 0;
    uint64_t payloadBytes = 0;
    uint64_t packets = 0;
};

std::string hintSample(const std::vector<Packet>& packets, uint32_t sampleNumber, uint16_t& sequence, uint8_t type,
                       HintSamples& totals) {
    std::string out;
    put(out, packets.size(), 2);
    put(out, 0, 2);
    for (const Packet& packet : packets) {
        put(out, 0, 4);                          // relative time
        out.push_back(static_cast<char>(0x80));  // RTP version 2
        out.push_back(static_cast<char>((packet.marker ? 0x80 : 0) | type));
        put(out, sequence++, 2);
        put(out, 0, 2);  // no extra, B-frame or repeat flags
        put(out, packet.pieces.size(), 2);
        uint32_t size = 12;
        for (const Piece& piece : packet.pieces) {
            if (!piece.immediate.empty()) {
                out.push_back(1);
                out.push_back(static_cast<char>(piece.immediate.size()));
                out += piece.immediate;
                out.append(14 - piece.immediate.size(), '\0');
                size += static_cast<uint32_t>(piece.immediate.size());
            } else {
                out.push_back(2);
                out.push_back(0);  // the first track of the 'hint' reference
                put(out, piece.length, 2);
                put(out, sampleNumber, 4);
                put(out, piece.offset, 4);
                put(out, 1, 2);  // bytes per compression block
                put(out, 1, 2);  // samples per compression block
                size += piece.length;
            }
        }
        totals.maxPacket = std::max(totals.maxPacket, size);
        totals.payloadBytes += size;
        ++totals.packets;
    }
    return out;
}

HintSamples makeHintSamples(const InputFile& file, const TrackInfo& media, uint32_t clock) {
    HintSamples result;
    uint16_t sequence = 0;
    const uint8_t type = payloadType(media.codec);
    uint64_t previous = 0;
    for (size_t i = 0; i < media.samples.size(); ++i) {
        const Sample& sample = media.samples[i];
        if (media.codec == Codec::Aac && sample.size > 0x1fff) throw Failure("an AAC frame is too large for RTP");
        const std::string data = media.codec == Codec::H264 ? file.read(sample.offset, sample.size) : std::string();
        result.samples.push_back(hintSample(packetize(media.codec, sample, data, media.nalLengthSize),
                                            static_cast<uint32_t>(i + 1), sequence, type, result));
        // Times are converted from the start so rounding does not add up along the track.
        const uint64_t end = (sample.time + sample.duration) * clock / media.timescale;
        result.durations.push_back(static_cast<uint32_t>(end - previous));
        previous = end;
    }
    return result;
}

std::unique_ptr<Box> sampleTable(const HintSamples& hints, uint32_t clock, Box*& offsets) {
    auto table = container("stbl");
    std::string entry(6, '\0');
    put(entry, 1, 2);  // data reference index
    put(entry, 1, 2);  // hint track version
    put(entry, 1, 2);  // highest compatible version
    put(entry, hints.maxPacket, 4);
    std::string tims;
    put(tims, clock, 4);
    entry += boxBytes("tims", tims);
    std::string stsd;
    put(stsd, 0, 4);
    put(stsd, 1, 4);
    stsd += boxBytes("rtp ", entry);
    table->children.push_back(leaf("stsd", stsd));

    std::string stts;
    put(stts, 0, 4);
    std::vector<std::pair<uint32_t, uint32_t>> runs;
    for (uint32_t duration : hints.durations) {
        if (!runs.empty() && runs.back().second == duration) {
            ++runs.back().first;
        } else {
            runs.emplace_back(1, duration);
        }
    }
    put(stts, runs.size(), 4);
    for (const auto& [count, duration] : runs) {
        put(stts, count, 4);
        put(stts, duration, 4);
    }
    table->children.push_back(leaf("stts", stts));

    std::string stsc;
    put(stsc, 0, 4);
    put(stsc, 1, 4);
    put(stsc, 1, 4);  // all in chunk 1
    put(stsc, hints.samples.size(), 4);
    put(stsc, 1, 4);
    table->children.push_back(leaf("stsc", stsc));

    std::string stsz;
    put(stsz, 0, 4);
    put(stsz, 0, 4);
    put(stsz, hints.samples.size(), 4);
    for (const std::string& sample : hints.samples) put(stsz, sample.size(), 4);
    table->children.push_back(leaf("stsz", stsz));

    std::string stco;
    put(stco, 0, 4);
    put(stco, 1, 4);
    put(stco, 0, 4);  // set when the file is laid out
    table->children.push_back(leaf("stco", stco));
    offsets = table->children.back().get();
    return table;
}

std::unique_ptr<Box> hintTrackBox(const TrackInfo& media, uint32_t newId, uint32_t movieTimescale,
                                  const HintSamples& hints, uint32_t clock, Box*& offsets) {
    uint64_t mediaDuration = 0;
    for (uint32_t duration : hints.durations) mediaDuration += duration;
    const uint64_t movieDuration = media.duration * movieTimescale / media.timescale;
    if (mediaDuration > 0xffffffffu || movieDuration > 0xffffffffu) throw Failure("the track is too long to hint");

    auto track = container("trak");
    std::string tkhd;
    put(tkhd, 0, 4);  // version 0; not enabled, so players leave it alone
    put(tkhd, 0, 8);
    put(tkhd, newId, 4);
    put(tkhd, 0, 4);
    put(tkhd, movieDuration, 4);
    put(tkhd, 0, 8);
    put(tkhd, 0, 8);  // layer, group, volume, reserved
    for (uint32_t value : {0x10000u, 0u, 0u, 0u, 0x10000u, 0u, 0u, 0u, 0x40000000u}) put(tkhd, value, 4);
    put(tkhd, 0, 8);  // width, height
    track->children.push_back(leaf("tkhd", tkhd));

    std::string reference;
    put(reference, media.id, 4);
    track->children.push_back(leaf("tref", boxBytes("hint", reference)));

    auto mdia = container("mdia");
    std::string mdhd;
    put(mdhd, 0, 12);
    put(mdhd, clock, 4);
    put(mdhd, mediaDuration, 4);
    put(mdhd, 0x55c4, 2);  // language "und"
    put(mdhd, 0, 2);
    mdia->children.push_back(leaf("mdhd", mdhd));
    std::string hdlr(4 + 4, '\0');
    hdlr += "hint";
    hdlr += std::string(12, '\0');
    hdlr += std::string("HintHandler\0", 12);
    mdia->children.push_back(leaf("hdlr", hdlr));

    auto minf = container("minf");
    std::string hmhd;
    put(hmhd, 0, 4);
    put(hmhd, hints.maxPacket, 2);
    put(hmhd, hints.packets ? hints.payloadBytes / hints.packets : 0, 2);
    const double seconds = static_cast<double>(mediaDuration) / clock;
    const auto bitrate = static_cast<uint32_t>(seconds > 0 ? static_cast<double>(hints.payloadBytes) * 8 / seconds : 0);
    put(hmhd, bitrate, 4);  // the peak is not measured per second; the average stands in
    put(hmhd, bitrate, 4);
    put(hmhd, 0, 4);
    minf->children.push_back(leaf("hmhd", hmhd));
    std::string dref;
    put(dref, 0, 4);
    put(dref, 1, 4);
    std::string self;
    put(self, 1, 4);  // the data is in this file
    dref += boxBytes("url ", self);
    minf->children.push_back(leaf("dinf", boxBytes("dref", dref)));
    minf->children.push_back(sampleTable(hints, clock, offsets));
    mdia->children.push_back(std::move(minf));
    track->children.push_back(std::move(mdia));
    // What a streaming server announces for this track.
    track->children.push_back(leaf("udta", boxBytes("hnti", boxBytes("sdp ", sdpFor(media, newId)))));
    return track;
}

// The movie header's next track ID, moved past the new track.
uint32_t takeNextTrackId(Box& movie) {
    Box* header = childBox(movie, "mvhd");
    if (!header || header->payload.size() < 100) throw Failure("the movie has no header");
    const size_t at = header->payload[0] == 1 ? 108 : 96;
    uint32_t next = readU32(header->payload, at);
    for (const auto& track : movie.children) {
        if (track->type == "trak") next = std::max(next, trackId(*track).value_or(0) + 1);
    }
    std::string value;
    put(value, next + 1, 4);
    header->payload.replace(at, 4, value);
    return next;
}

bool alreadyHinted(const Box& movie, uint32_t id) {
    for (const auto& track : movie.children) {
        const Box* references = track->type == "trak" ? childBox(*track, "tref") : nullptr;
        if (!references) continue;
        const std::string& bytes = references->payload;
        for (size_t at = 0; at + 8 <= bytes.size();) {
            const uint32_t size = readU32(bytes, at);
            if (size < 8 || size > bytes.size() - at) break;
            if (bytes.compare(at + 4, 4, "hint") == 0) {
                for (size_t i = at + 8; i + 4 <= at + size; i += 4) {
                    if (readU32(bytes, i) == id) return true;
                }
            }
            at += size;
        }
    }
    return false;
}

}  // namespace

void hintTrack(const std::string& path, uint32_t id) {
    InputFile file(path);
    const std::vector<TopBox> boxes = readTopBoxes(file);
    auto movieBox = std::find_if(boxes.begin(), boxes.end(), [](const TopBox& b) { return b.type == "moov"; });
    if (movieBox == boxes.end()) throw Failure("the file has no movie box (moov)");
    if (std::any_of(boxes.begin(), boxes.end(), [](const TopBox& b) { return b.type == "moof"; })) {
        throw Failure("fragmented files are not hinted");
    }
    std::unique_ptr<Box> movie = parseBox(file.read(movieBox->offset, movieBox->size));
    auto source = std::find_if(movie->children.begin(), movie->children.end(),
                               [&](const auto& box) { return box->type == "trak" && trackId(*box) == id; });
    if (source == movie->children.end()) throw Failure("there is no track " + std::to_string(id));
    const TrackInfo media = readTrack(**source, file.size());
    if (media.handler == "hint") throw Failure("track " + std::to_string(id) + " is itself a hint track");
    if (media.codec == Codec::Unknown) throw Failure("hinting is not supported for this track");
    if (media.samples.empty()) throw Failure("the track has no samples to hint");
    if (alreadyHinted(*movie, id)) throw Failure("track " + std::to_string(id) + " already has a hint track");

    const Box* movieHeader = childBox(*movie, "mvhd");
    if (!movieHeader || movieHeader->payload.size() < 24) throw Failure("the movie has no header");
    const uint32_t movieTimescale = readU32(movieHeader->payload, movieHeader->payload[0] == 1 ? 20 : 12);
    if (movieTimescale == 0) throw Failure("the movie has no timescale");

    const uint32_t clock = rtpClockRate(media.codec, media.sampleRate);
    const HintSamples hints = makeHintSamples(file, media, clock);
    const uint32_t newId = takeNextTrackId(*movie);
    NewTail tail;
    movie->children.push_back(hintTrackBox(media, newId, movieTimescale, hints, clock, tail.table));

    std::string data;
    for (const std::string& sample : hints.samples) data += sample;
    tail.box = boxBytes("mdat", data);
    if (tail.box.size() > 0xffffffffu) throw Failure("the hint data is too large");
    tail.offsets = {8};

    std::vector<size_t> order(boxes.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    writeArranged(path, file, boxes, order, static_cast<size_t>(movieBox - boxes.begin()), *movie, &tail);
}

}  // namespace posttools
