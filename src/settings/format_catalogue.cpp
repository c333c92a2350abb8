#include "settings/format_catalogue.h"

#include "platform/file_system.h"
#include "platform/ini_file.h"
#include "settings/text_rules.h"

namespace torvane {
namespace {

const ContainerEntry kEmptyContainer{};
const VideoCodecEntry kEmptyVideoCodec{};
const AudioCodecEntry kEmptyAudioCodec{};

// Reads keys of one section, each value cut at the section's buffer size.
class SectionReader {
public:
    SectionReader(const IniFile& file, std::string name, std::size_t maxSectionBytes, std::size_t bufferSize)
        : file_(file), name_(std::move(name)), readable_(name_.size() <= maxSectionBytes), bufferSize_(bufferSize) {}

    std::string operator()(std::string_view key) const {
        if (!readable_) return {};
        return file_.getString(name_, key, "", bufferSize_);
    }

private:
    const IniFile& file_;
    std::string name_;
    bool readable_;
    std::size_t bufferSize_;
};

VideoCodecEntry readVideoCodec(const IniFile& file, const std::string& name) {
    const SectionReader read(file, "vcodec_" + name, kMaxCodecSectionBytes, kCodecValueBuffer);
    VideoCodecEntry entry;
    entry.kind = read("kind");
    entry.title = read("title");
    entry.id = read("id");
    entry.param = read("param");
    entry.param2 = read("param2");
    entry.able_bitrate = read("able_bitrate");
    entry.default_bitrate = read("default_bitrate");
    entry.able_framerate = read("able_framerate");
    entry.default_framerate = read("default_framerate");
    entry.able_size = read("able_size");
    entry.default_size = read("default_size");
    entry.bitrateList = splitList(entry.able_bitrate, ",");
    entry.framerateList = splitList(entry.able_framerate, ",");
    entry.sizeList = splitList(entry.able_size, ",");
    return entry;
}

AudioCodecEntry readAudioCodec(const IniFile& file, const std::string& name) {
    const SectionReader read(file, "acodec_" + name, kMaxCodecSectionBytes, kCodecValueBuffer);
    AudioCodecEntry entry;
    entry.kind = read("kind");
    entry.title = read("title");
    entry.id = read("id");
    entry.param = read("param");
    entry.param2 = read("param2");
    entry.able_bitrate = read("able_bitrate");
    entry.default_bitrate = read("default_bitrate");
    entry.able_srate = read("able_srate");
    entry.default_srate = read("default_srate");
    entry.bitrateList = splitList(entry.able_bitrate, ",");
    entry.srateList = splitList(entry.able_srate, ",");
    return entry;
}

ContainerEntry readContainer(const IniFile& file, const std::string& name) {
    const SectionReader read(file, "container_" + name, kMaxContainerSectionBytes, kCatalogueValueBuffer);
    ContainerEntry entry;
    entry.kind = read("kind");
    entry.title = read("title");
    entry.file_ext = read("file_ext");
    entry.opt_of = read("opt_of");
    entry.opt_of2 = read("opt_of2");
    entry.use_video = read("use_video");
    entry.able_vcodec = read("able_vcodec");
    entry.vcodecList = splitList(entry.able_vcodec, ",");
    for (const std::string& codec : entry.vcodecList) entry.vcodecs[codec] = readVideoCodec(file, codec);
    entry.default_vcodec = read("default_vcodec");
    entry.use_audio = read("use_audio");
    entry.able_acodec = read("able_acodec");
    entry.acodecList = splitList(entry.able_acodec, ",");
    for (const std::string& codec : entry.acodecList) entry.acodecs[codec] = readAudioCodec(file, codec);
    entry.default_acodec = read("default_acodec");
    return entry;
}

}  // namespace

const VideoCodecEntry& ContainerEntry::findVideoCodec(std::string_view name) const {
    const auto it = vcodecs.find(std::string(name));
    return it == vcodecs.end() ? kEmptyVideoCodec : it->second;
}

const AudioCodecEntry& ContainerEntry::findAudioCodec(std::string_view name) const {
    const auto it = acodecs.find(std::string(name));
    return it == acodecs.end() ? kEmptyAudioCodec : it->second;
}

bool FormatCatalogue::loadCatalogue(const std::string& path) {
    cataloguePath_ = path;
    if (!isFileNotFolder(path)) return false;
    const IniFile file = IniFile::fromFile(path);

    for (const std::string& item : splitList(file.getString("config", "cp", "", kCatalogueValueBuffer), ",")) {
        const auto pieces = splitList(item, ":");
        if (pieces.size() >= 2) subtitleCodepages_[pieces[1]] = pieces[0];
    }
    containerNames_ = splitList(file.getString("config", "container", "", kCatalogueValueBuffer), ",");
    for (const std::string& name : containerNames_) containers_[name] = readContainer(file, name);
    return true;
}

const ContainerEntry& FormatCatalogue::findContainer(std::string_view name) const {
    const auto it = containers_.find(name);
    return it == containers_.end() ? kEmptyContainer : it->second;
}

}  // namespace torvane
