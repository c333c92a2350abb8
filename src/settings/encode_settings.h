#pragma once

#include <array>
#include <string>
#include <string_view>

namespace torvane {

// The conversion settings record: 48 texts and nothing else. Numbers stay decimal text and
// flags stay text (read with isTruthy); nothing is converted when a profile is read. A new
// record has every field empty: defaults belong to loadProfile only.
class EncodeSettings {
public:
    virtual ~EncodeSettings() = default;

    // Fills every field from the profile file; false, and nothing changed, when path is not a
    // regular file that can be read (missing, a folder, a FIFO, a device). Keys the file lacks
    // take their defaults, not their previous values.
    bool loadProfile(const std::string& path);

    // Copies all 48 fields, profilePath included.
    void assignSettings(const EncodeSettings& other);

    std::string profilePath;
    std::string info_subject;
    std::string info_step1;
    std::string info_step2;
    std::string container;
    std::string filename;
    std::string eg;
    std::string video_use;
    std::string video_codec;
    std::string video_bitrate;
    std::string video_use_size;
    std::string video_width;
    std::string video_height;
    std::string video_use_fps;
    std::string video_fps;
    std::string video_use_sameratio;
    std::string video_use_crop;
    std::string video_crop;
    std::string audio_use;
    std::string audio_codec;
    std::string audio_bitrate;
    std::string audio_use_srate;
    std::string audio_srate;
    std::string audio_use_channels;
    std::string audio_channels;
    std::string audio_vbr;
    std::string use_volume;
    std::string volume;
    std::string sub_use;
    std::string sub_font;
    std::string sub_pos;
    std::string sub_textscale;
    std::string sub_outline;
    std::string sub_blur;
    std::string sub_delay;
    std::string sub_subcp;
    std::string filter_flip;
    std::string filter_mirror;
    std::string filter_ratate;  // spelled so in every profile
    std::string filter_harddup;
    std::string plusparam;
    std::string plusparam2;
    std::string sws;
    std::string prioritylevel;
    std::string use_multithread;
    std::string use_speed;
    std::string speed;
    // "y": the subtitle goes into the output as a track players switch on and off, where the
    // format can carry one, instead of being drawn into the picture.
    std::string sub_embed;
};

// One row of the record's key table: the INI key (the field's name), its section ("" for
// profilePath, which no file holds), the default loadProfile uses, and the field itself.
struct SettingsKey {
    std::string_view name;
    std::string_view section;
    std::string_view defaultValue;
    std::string EncodeSettings::*field;
};

inline constexpr std::size_t kSettingsFieldCount = 48;

// The fields in declared order, which is also the reading and the copy order.
const std::array<SettingsKey, kSettingsFieldCount>& settingsKeys();

// The key table row of a field name (exact spelling); nullptr when there is none.
const SettingsKey* findSettingsKey(std::string_view name);

}  // namespace torvane
