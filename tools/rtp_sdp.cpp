#include "tools/rtp_sdp.h"

#include "tools/rtp_packets.h"

namespace posttools {

namespace {

std::string hex(const std::string& bytes) {
    static const char kDigits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char byte : bytes) {
        out.push_back(kDigits[byte >> 4]);
        out.push_back(kDigits[byte & 15]);
    }
    return out;
}

std::string base64(const std::string& bytes) {
    static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (size_t i = 0; i < bytes.size(); i += 3) {
        uint32_t group = static_cast<unsigned char>(bytes[i]) << 16;
        if (i + 1 < bytes.size()) group |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        if (i + 2 < bytes.size()) group |= static_cast<unsigned char>(bytes[i + 2]);
        out.push_back(kAlphabet[(group >> 18) & 63]);
        out.push_back(kAlphabet[(group >> 12) & 63]);
        out.push_back(i + 1 < bytes.size() ? kAlphabet[(group >> 6) & 63] : '=');
        out.push_back(i + 2 < bytes.size() ? kAlphabet[group & 63] : '=');
    }
    return out;
}

// The channel count as the AAC configuration gives it; sample entries often just say 2.
unsigned aacChannels(const TrackInfo& media) {
    const std::string& config = media.decoderConfig;
    if (config.size() >= 2) {
        const unsigned frequencyIndex =
            ((static_cast<unsigned char>(config[0]) & 7u) << 1) | (static_cast<unsigned char>(config[1]) >> 7);
        const unsigned channels = (static_cast<unsigned char>(config[1]) >> 3) & 15u;
        if (frequencyIndex != 15 && channels > 0 && channels < 8) return channels;
    }
    return media.channels ? media.channels : 1;
}

}  // namespace

std::string sdpFor(const TrackInfo& media, uint32_t hintId) {
    const std::string type = std::to_string(payloadType(media.codec));
    const std::string clock = std::to_string(rtpClockRate(media.codec, media.sampleRate));
    const bool video = media.codec == Codec::H264 || media.codec == Codec::Mpeg4Visual;
    std::string sdp = std::string("m=") + (video ? "video" : "audio") + " 0 RTP/AVP " + type + "\r\n";
    std::string fmtp;
    switch (media.codec) {
        case Codec::H264: {
            sdp += "a=rtpmap:" + type + " H264/" + clock + "\r\n";
            fmtp = "packetization-mode=1";
            std::string sets;
            for (const std::string& set : media.parameterSets) sets += (sets.empty() ? "" : ",") + base64(set);
            if (!media.parameterSets.empty() && media.parameterSets[0].size() >= 4) {
                fmtp += "; profile-level-id=" + hex(media.parameterSets[0].substr(1, 3));
            }
            if (!sets.empty()) fmtp += "; sprop-parameter-sets=" + sets;
            break;
        }
        case Codec::Mpeg4Visual:
            sdp += "a=rtpmap:" + type + " MP4V-ES/" + clock + "\r\n";
            fmtp = "profile-level-id=1; config=" + hex(media.decoderConfig);
            break;
        case Codec::Aac:
            sdp += "a=rtpmap:" + type + " mpeg4-generic/" + clock + "/" + std::to_string(aacChannels(media)) + "\r\n";
            fmtp = "streamtype=5; profile-level-id=15; mode=AAC-hbr; config=" + hex(media.decoderConfig) +
                   "; SizeLength=13; IndexLength=3; IndexDeltaLength=3";
            break;
        case Codec::Mp3:
            sdp += "a=rtpmap:" + type + " MPA/" + clock + "\r\n";
            break;
        case Codec::Unknown:
            break;
    }
    sdp += "a=control:trackID=" + std::to_string(hintId) + "\r\n";
    if (!fmtp.empty()) sdp += "a=fmtp:" + type + " " + fmtp + "\r\n";
    return sdp;
}

}  // namespace posttools
