#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace torvane {

struct VideoCodecEntry {
    std::string kind;
    std::string title;
    std::string id;
    std::string param;   // mencoder options
    std::string param2;  // ffmpeg options
    std::string able_bitrate;
    std::vector<std::string> bitrateList;
    std::string default_bitrate;
    std::string able_size;
    std::vector<std::string> sizeList;
    std::string default_size;
    std::string able_framerate;
    std::vector<std::string> framerateList;
    std::string default_framerate;
};

struct AudioCodecEntry {
    std::string kind;
    std::string title;
    std::string id;
    std::string param;   // mencoder options
    std::string param2;  // ffmpeg options
    std::string able_bitrate;
    std::vector<std::string> bitrateList;
    std::string default_bitrate;
    std::string able_srate;
    std::vector<std::string> srateList;
    std::string default_srate;
};

struct ContainerEntry {
    std::string kind;
    std::string title;
    std::string file_ext;
    std::string opt_of;   // mencoder output-format options
    std::string opt_of2;  // ffmpeg output-format options
    std::string use_video;
    std::string able_vcodec;
    std::string default_vcodec;
    std::vector<std::string> vcodecList;
    std::map<std::string, VideoCodecEntry> vcodecs;
    std::string use_audio;
    std::string able_acodec;
    std::string default_acodec;
    std::vector<std::string> acodecList;
    std::map<std::string, AudioCodecEntry> acodecs;

    // An unknown codec name gives an empty entry (empty texts and lists).
    const VideoCodecEntry& findVideoCodec(std::string_view name) const;
    const AudioCodecEntry& findAudioCodec(std::string_view name) const;
};

// Section names longer than these are not read: their entries stay empty.
inline constexpr std::size_t kMaxContainerSectionBytes = 255;
inline constexpr std::size_t kMaxCodecSectionBytes = 127;

// The read-only catalogue of output formats and their codecs, read once from torvane.ini.
// Lookups never fail and never change it, so any thread may read it while it lives.
class FormatCatalogue {
public:
    // False, and nothing read, when there is no file at path.
    bool loadCatalogue(const std::string& path);

    // An unknown container name gives an empty entry (empty texts, no codecs).
    const ContainerEntry& findContainer(std::string_view name) const;

    const std::string& cataloguePath() const { return cataloguePath_; }
    // The [config] container list in file order, duplicates kept.
    const std::vector<std::string>& containerNames() const { return containerNames_; }
    const std::map<std::string, ContainerEntry, std::less<>>& containers() const { return containers_; }
    // Character-set name to label, ordered by name.
    const std::map<std::string, std::string>& subtitleCodepages() const { return subtitleCodepages_; }

private:
    std::string cataloguePath_;
    std::vector<std::string> containerNames_;
    std::map<std::string, ContainerEntry, std::less<>> containers_;
    std::map<std::string, std::string> subtitleCodepages_;
};

}  // namespace torvane
