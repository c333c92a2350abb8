#include "settings/encode_settings.h"

#include "platform/ini_file.h"

namespace torvane {
namespace {

constexpr std::string_view kGeneral = "GENERAL";
constexpr std::string_view kSetting = "SETTING";

using S = EncodeSettings;

constexpr std::array<SettingsKey, kSettingsFieldCount> kKeys = {{
    {"profilePath", "", "", &S::profilePath},
    {"info_subject", kGeneral, "기본", &S::info_subject},
    {"info_step1", kGeneral, "", &S::info_step1},
    {"info_step2", kGeneral, "", &S::info_step2},
    {"container", kSetting, "avi", &S::container},
    {"filename", kSetting, "{ori_name}.{base_ext}", &S::filename},
    {"eg", kSetting, "a", &S::eg},
    {"video_use", kSetting, "y", &S::video_use},
    {"video_codec", kSetting, "xvid", &S::video_codec},
    {"video_bitrate", kSetting, "1200", &S::video_bitrate},
    {"video_use_size", kSetting, "n", &S::video_use_size},
    {"video_width", kSetting, "", &S::video_width},
    {"video_height", kSetting, "", &S::video_height},
    {"video_use_fps", kSetting, "n", &S::video_use_fps},
    {"video_fps", kSetting, "23.976", &S::video_fps},
    {"video_use_sameratio", kSetting, "n", &S::video_use_sameratio},
    {"video_use_crop", kSetting, "n", &S::video_use_crop},
    {"video_crop", kSetting, "", &S::video_crop},
    {"audio_use", kSetting, "y", &S::audio_use},
    {"audio_codec", kSetting, "mp3", &S::audio_codec},
    {"audio_bitrate", kSetting, "128", &S::audio_bitrate},
    {"audio_use_srate", kSetting, "n", &S::audio_use_srate},
    {"audio_srate", kSetting, "44100", &S::audio_srate},
    {"audio_use_channels", kSetting, "n", &S::audio_use_channels},
    {"audio_channels", kSetting, "2", &S::audio_channels},
    {"audio_vbr", kSetting, "cbr", &S::audio_vbr},
    {"use_volume", kSetting, "n", &S::use_volume},
    {"volume", kSetting, "100", &S::volume},
    {"sub_use", kSetting, "y", &S::sub_use},
    // Linux paths use "/"; {subfontdir} is the program folder's mplayer folder.
    {"sub_font", kSetting, "{subfontdir}/subfont.ttf", &S::sub_font},
    {"sub_pos", kSetting, "95", &S::sub_pos},
    {"sub_textscale", kSetting, "4", &S::sub_textscale},
    {"sub_outline", kSetting, "2", &S::sub_outline},
    {"sub_blur", kSetting, "2", &S::sub_blur},
    {"sub_delay", kSetting, "0", &S::sub_delay},
    {"sub_subcp", kSetting, "cp949", &S::sub_subcp},
    {"filter_flip", kSetting, "n", &S::filter_flip},
    {"filter_mirror", kSetting, "n", &S::filter_mirror},
    {"filter_ratate", kSetting, "0", &S::filter_ratate},
    {"filter_harddup", kSetting, "n", &S::filter_harddup},
    {"plusparam", kSetting, "", &S::plusparam},
    {"plusparam2", kSetting, "", &S::plusparam2},
    {"sws", kSetting, "2", &S::sws},
    {"prioritylevel", kSetting, "1", &S::prioritylevel},
    {"use_multithread", kSetting, "y", &S::use_multithread},
    {"use_speed", kSetting, "n", &S::use_speed},
    {"speed", kSetting, "1.0", &S::speed},
    {"sub_embed", kSetting, "n", &S::sub_embed},
}};

}  // namespace

const std::array<SettingsKey, kSettingsFieldCount>& settingsKeys() {
    return kKeys;
}

const SettingsKey* findSettingsKey(std::string_view name) {
    for (const SettingsKey& key : kKeys) {
        if (key.name == name) return &key;
    }
    return nullptr;
}

bool EncodeSettings::loadProfile(const std::string& path) {
    // A FIFO or device named as a profile is refused, not read: reading it could wait forever.
    const std::optional<IniFile> file = IniFile::fromRegularFile(path);
    if (!file) return false;
    profilePath = path;
    for (const SettingsKey& key : kKeys) {
        if (key.section.empty()) continue;
        this->*key.field = file->getString(key.section, key.name, key.defaultValue, kProfileValueBuffer);
    }
    return true;
}

void EncodeSettings::assignSettings(const EncodeSettings& other) {
    for (const SettingsKey& key : kKeys) this->*key.field = other.*key.field;
}

}  // namespace torvane
