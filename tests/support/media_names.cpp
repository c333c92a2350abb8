#include "support/media_names.h"

#include <gtest/gtest.h>

#include <map>

namespace torvane::test {
namespace {

// Keep in step with the containers and codecs of data/torvane.ini.
const std::map<std::string, std::string> kFormatNames = {
    {"avi", "avi"},
    {"mp4", "mov,mp4,m4a,3gp,3g2,mj2"},
    {"mov", "mov,mp4,m4a,3gp,3g2,mj2"},
    {"3gp", "mov,mp4,m4a,3gp,3g2,mj2"},
    {"m4a", "mov,mp4,m4a,3gp,3g2,mj2"},
    {"m4r", "mov,mp4,m4a,3gp,3g2,mj2"},
    {"mkv", "matroska,webm"},
    {"webm", "matroska,webm"},
    {"wmv", "asf"},
    {"flv", "flv"},
    {"mpg", "mpeg"},
    {"mp3", "mp3"},
    {"aac", "aac"},
    {"ac3", "ac3"},
    {"ogg", "ogg"},
    {"flac", "flac"},
    {"wav", "wav"},
    {"aiff", "aiff"},
    {"caf", "caf"},
    {"mmf", "mmf"},
    {"m4v", "mov,mp4,m4a,3gp,3g2,mj2"},
    {"3g2", "mov,mp4,m4a,3gp,3g2,mj2"},
    {"asf", "asf"},
    {"vob", "mpeg"},
    {"ts", "mpegts"},
    {"m2ts", "mpegts"},
    {"ogv", "ogg"},
    {"gif", "gif"},
    {"opus", "ogg"},
};

const std::map<std::string, std::string> kCodecNames = {
    {"xvid", "mpeg4"},
    {"mpeg4", "mpeg4"},
    {"h264", "h264"},
    {"h264_baseline", "h264"},
    {"wmv2", "wmv2"},
    {"wmv1", "wmv1"},
    {"flv", "flv1"},
    {"vp8", "vp8"},
    {"vp9", "vp9"},
    {"h263", "h263"},
    {"mpeg1", "mpeg1video"},
    {"mpeg2", "mpeg2video"},
    {"mp3", "mp3"},
    {"aac", "aac"},
    {"ac3", "ac3"},
    {"vorbis", "vorbis"},
    {"opus", "opus"},
    {"flac", "flac"},
    {"pcm_s16le", "pcm_s16le"},
    {"pcm_s16be", "pcm_s16be"},
    {"alac", "alac"},
    {"wma", "wmav2"},
    {"mp2", "mp2"},
    {"adpcm_yamaha", "adpcm_yamaha"},
    {"h264_baseline13", "h264"},
    {"h264_main30", "h264"},
    {"h264_main31", "h264"},
    {"h264_main40", "h264"},
    {"h264_high31", "h264"},
    {"h264_high40", "h264"},
    {"h264_high42", "h264"},
    {"h264_web", "h264"},
    {"hevc", "hevc"},
    {"av1", "av1"},
    {"theora", "theora"},
    {"mjpeg", "mjpeg"},
    {"prores", "prores"},
    {"mpeg2_dvd", "mpeg2video"},
    {"gif", "gif"},
};

std::string lookUp(const std::map<std::string, std::string>& names, const std::string& key, const char* what) {
    const auto it = names.find(key);
    if (it != names.end()) return it->second;
    ADD_FAILURE() << "no ffprobe name for the " << what << " " << key << " in tests/support/media_names.cpp";
    return {};
}

}  // namespace

std::string ffprobeFormatName(const std::string& container) {
    return lookUp(kFormatNames, container, "container");
}

std::string ffprobeCodecName(const std::string& codec) {
    return lookUp(kCodecNames, codec, "codec");
}

}  // namespace torvane::test
