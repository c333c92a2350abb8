#pragma once

#include <cstdint>
#include <string>

namespace torvane {

// The media facts of one file as the MediaInfo library reports them. Texts stay the library's
// texts; only the stream counts and the two durations are numbers.
struct MediaSummary {
    std::string informSummary;
    std::string informNormal;
    std::string informComplete;
    std::string completeName;
    std::string encodedApplication;
    std::string encodedLibrary;
    std::string generalCodec;
    std::int32_t durationSeconds = 0;
    float durationExact = 0.0f;
    // The first picture and sound streams' own lengths in seconds (0 when not known): a source
    // whose sound outlasts its picture gives a shorter file when only the picture is kept.
    float videoSeconds = 0.0f;
    float audioSeconds = 0.0f;
    std::string generalFormat;
    std::string generalFormatProfile;
    std::string overallBitRate;
    std::string fileSizeText;
    std::string videoCodec;
    std::string videoCodecInfo;
    std::string videoCodecUrl;
    std::string videoCodecId;
    std::string videoCodecIdInfo;
    std::string videoCodecIdHint;
    std::string videoCodecIdUrl;
    std::string videoFormat;
    std::string videoFormatProfile;
    std::string videoFrameCount;
    std::string videoBitRate;
    std::string videoFrameRate;
    std::string videoAspectRatio;
    std::string videoWidth;
    std::string videoHeight;
    std::int32_t videoStreamCount = 0;
    // Video "Rotation": the clockwise angle a player turns the stored picture by ("90.000").
    std::string videoRotation;
    std::string audioCodec;
    std::string audioCodecInfo;
    std::string audioCodecUrl;
    std::string audioCodecId;
    std::string audioCodecIdInfo;
    std::string audioCodecIdHint;
    std::string audioCodecIdUrl;
    std::string audioFormat;
    std::string audioFormatProfile;
    std::int32_t audioStreamCount = 0;
    // The first sound stream's "Channel(s)"; empty or "0" when the library could not read it.
    std::string audioChannels;
    // Subtitle tracks; only an output's check reads them.
    std::int32_t textStreamCount = 0;
};

}  // namespace torvane
