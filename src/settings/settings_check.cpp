#include "settings/settings_check.h"

#include <array>
#include <charconv>
#include <initializer_list>

#include "platform/text_encoding.h"
#include "settings/encode_settings.h"
#include "settings/format_catalogue.h"
#include "settings/text_rules.h"

namespace torvane {
namespace {

// The text the command builders read as "keep the source's value" for sizes and frame rates
// (their kKeepSourceValue); the settings dialog writes it when those boxes are off.
constexpr std::string_view kKeepSource = "원본";

// A value longer than this is shown cut in the message: it stays one readable line.
constexpr std::size_t kMaxShownValueBytes = 120;

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool allDigits(std::string_view text) {
    if (text.empty()) return false;
    for (const char c : text) {
        if (!isDigit(c)) return false;
    }
    return true;
}

// A plain decimal number as a profile writes it: an optional minus, digits, and an optional
// fraction after one dot. No blanks, signs, exponents or trailing text, which would reach the
// encoder's command line as more words.
std::optional<double> plainNumber(std::string_view text, bool whole) {
    std::string_view digits = text;
    if (digits.starts_with('-')) digits.remove_prefix(1);
    const auto dot = digits.find('.');
    if (dot == std::string_view::npos) {
        if (!allDigits(digits)) return std::nullopt;
    } else if (whole || !allDigits(digits.substr(0, dot)) || !allDigits(digits.substr(dot + 1))) {
        return std::nullopt;
    }
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

bool inRange(std::string_view text, bool whole, double min, double max) {
    const std::optional<double> value = plainNumber(text, whole);
    return value && *value >= min && *value <= max;
}

bool isOneOf(std::string_view text, std::initializer_list<std::string_view> choices) {
    for (const std::string_view choice : choices) {
        if (text == choice) return true;
    }
    return false;
}

bool isFlag(std::string_view text) {
    return isTruthy(text) || isOneOf(text, {"", "n", "no", "N", "No", "NO", "0", "off", "Off", "OFF"});
}

// "a" (or nothing) lets the program choose the encoder; "f" is ffmpeg, "m" mencoder.
bool isEncoderChoice(std::string_view text) {
    return isOneOf(text, {"", "a", "f", "m"});
}

bool isBitrateMode(std::string_view text) {
    return isOneOf(text, {"", "cbr", "abr", "mt", "rh", "mtrh"});
}

// The two turns the builders make; "0" and nothing are none.
bool isRotation(std::string_view text) {
    return isOneOf(text, {"", "0", "90", "-90"});
}

// A frame rate: a plain number above 0, or an exact fraction such as 30000/1001.
bool isFrameRate(std::string_view text) {
    constexpr double kMaxFramesPerSecond = 1000;
    if (const auto slash = text.find('/'); slash != std::string_view::npos) {
        const std::optional<double> numerator = plainNumber(text.substr(0, slash), true);
        const std::optional<double> denominator = plainNumber(text.substr(slash + 1), true);
        if (!numerator || !denominator || *denominator <= 0 || text.starts_with('-')) return false;
        const double rate = *numerator / *denominator;
        return rate > 0 && rate <= kMaxFramesPerSecond;
    }
    const std::optional<double> rate = plainNumber(text, false);
    return rate && *rate > 0 && *rate <= kMaxFramesPerSecond;
}

// An aspect ratio such as 16:9 or 2.31:1.
bool isRatio(std::string_view text) {
    const auto colon = text.find(':');
    if (colon == std::string_view::npos) return false;
    const std::optional<double> width = plainNumber(text.substr(0, colon), false);
    const std::optional<double> height = plainNumber(text.substr(colon + 1), false);
    return width && height && *width > 0 && *height > 0;
}

// A character-set name as iconv and mencoder's -subcp take it (cp949, utf-8, enca:ko:cp949):
// one word that cannot be read as an option.
bool isCharsetName(std::string_view text) {
    constexpr std::size_t kMaxNameBytes = 64;
    if (text.empty() || text.size() > kMaxNameBytes || text.front() == '-') return false;
    for (const char c : text) {
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (!letter && !isDigit(c) && c != '-' && c != '_' && c != '.' && c != ':' && c != '+') return false;
    }
    return true;
}

struct ValueRule {
    std::string_view key;
    std::string EncodeSettings::*field;
    bool (*accepts)(std::string_view value);
    std::string_view expected;
};

using S = EncodeSettings;

// Every value with a fixed rule. Empty is allowed where the builders leave the option out or
// let the codec's own options decide; it is refused where it would leave an option without
// its value (-ac, -vol).
constexpr std::array<ValueRule, 36> kRules = {{
    {"eg", &S::eg, isEncoderChoice, "a, f, m 중 하나"},
    {"video_use", &S::video_use, isFlag, "y 또는 n"},
    {"video_bitrate", &S::video_bitrate, [](std::string_view v) { return v.empty() || inRange(v, true, 0, 2000000); },
     "0~2000000 사이의 정수 (kbit/s)"},
    {"video_use_size", &S::video_use_size, isFlag, "y 또는 n"},
    {"video_width", &S::video_width,
     [](std::string_view v) { return v.empty() || v == kKeepSource || inRange(v, true, 1, 16384); },
     "1~16384 사이의 정수 또는 원본"},
    {"video_height", &S::video_height,
     [](std::string_view v) { return v.empty() || v == kKeepSource || inRange(v, true, 1, 16384); },
     "1~16384 사이의 정수 또는 원본"},
    {"video_use_fps", &S::video_use_fps, isFlag, "y 또는 n"},
    {"video_fps", &S::video_fps, [](std::string_view v) { return v.empty() || v == kKeepSource || isFrameRate(v); },
     "0보다 크고 1000 이하인 숫자, 30000/1001 같은 분수 또는 원본"},
    {"video_use_sameratio", &S::video_use_sameratio, isFlag, "y 또는 n"},
    {"video_use_crop", &S::video_use_crop, isFlag, "y 또는 n"},
    {"video_crop", &S::video_crop, [](std::string_view v) { return v.empty() || isRatio(v); }, "16:9 같은 화면 비율"},
    {"audio_use", &S::audio_use, isFlag, "y 또는 n"},
    {"audio_bitrate", &S::audio_bitrate, [](std::string_view v) { return v.empty() || inRange(v, true, 0, 50000); },
     "0~50000 사이의 정수 (kbit/s)"},
    {"audio_use_srate", &S::audio_use_srate, isFlag, "y 또는 n"},
    {"audio_srate", &S::audio_srate, [](std::string_view v) { return v.empty() || inRange(v, true, 1000, 768000); },
     "1000~768000 사이의 정수 (Hz)"},
    {"audio_use_channels", &S::audio_use_channels, isFlag, "y 또는 n"},
    {"audio_channels", &S::audio_channels, [](std::string_view v) { return inRange(v, true, 1, 8); },
     "1~8 사이의 정수"},
    {"audio_vbr", &S::audio_vbr, isBitrateMode, "cbr, abr, mt, rh, mtrh 중 하나"},
    {"use_volume", &S::use_volume, isFlag, "y 또는 n"},
    {"volume", &S::volume, [](std::string_view v) { return inRange(v, true, 0, 300); }, "0~300 사이의 정수 (%)"},
    {"sub_use", &S::sub_use, isFlag, "y 또는 n"},
    {"sub_pos", &S::sub_pos, [](std::string_view v) { return v.empty() || inRange(v, true, 0, 100); },
     "0~100 사이의 정수"},
    {"sub_textscale", &S::sub_textscale, [](std::string_view v) { return v.empty() || inRange(v, false, 0, 100); },
     "0~100 사이의 숫자"},
    {"sub_outline", &S::sub_outline, [](std::string_view v) { return v.empty() || inRange(v, false, 0, 8); },
     "0~8 사이의 숫자"},
    {"sub_blur", &S::sub_blur, [](std::string_view v) { return v.empty() || inRange(v, false, 0, 8); },
     "0~8 사이의 숫자"},
    {"sub_delay", &S::sub_delay, [](std::string_view v) { return v.empty() || inRange(v, false, -86400, 86400); },
     "-86400~86400 사이의 숫자 (초)"},
    {"sub_subcp", &S::sub_subcp, [](std::string_view v) { return v.empty() || isCharsetName(v); },
     "cp949 같은 문자셋 이름"},
    {"filter_flip", &S::filter_flip, isFlag, "y 또는 n"},
    {"filter_mirror", &S::filter_mirror, isFlag, "y 또는 n"},
    {"filter_ratate", &S::filter_ratate, isRotation, "0, 90, -90 중 하나"},
    {"filter_harddup", &S::filter_harddup, isFlag, "y 또는 n"},
    {"sws", &S::sws, [](std::string_view v) { return v.empty() || inRange(v, true, 0, 10); }, "0~10 사이의 정수"},
    // Nothing acts on it; it is kept a small whole number, as every profile writes it.
    {"prioritylevel", &S::prioritylevel, [](std::string_view v) { return v.empty() || inRange(v, true, -20, 20); },
     "-20~20 사이의 정수"},
    {"use_multithread", &S::use_multithread, isFlag, "y 또는 n"},
    {"use_speed", &S::use_speed, isFlag, "y 또는 n"},
    {"speed", &S::speed, [](std::string_view v) { return v.empty() || inRange(v, false, 0.01, 100); },
     "0.01~100 사이의 숫자 (배속)"},
}};

std::string problemText(const EncodeSettings& settings, std::string_view key, std::string_view value,
                        std::string_view expected) {
    std::string message(kBadSettingsMessage);
    if (!settings.profilePath.empty()) message += settings.profilePath + " 의 ";
    std::string shown(cutUtf8(value, kMaxShownValueBytes));
    if (shown.size() < value.size()) shown += "…";
    message += std::string(key) + " = \"" + shown + "\" (" + std::string(expected) + ")";
    return message;
}

}  // namespace

std::optional<std::string> settingsProblem(const EncodeSettings& settings, const FormatCatalogue& catalogue) {
    const auto& containers = catalogue.containers();
    const auto container = containers.find(settings.container);
    if (container == containers.end()) {
        return problemText(settings, "container", settings.container, "포맷 목록(torvane.ini)에 있는 포맷 이름");
    }
    // An empty codec lets the encoder choose the format's default; any other name must be one
    // the format offers, or its options would silently be none.
    const ContainerEntry& format = container->second;
    if (isTruthy(settings.video_use) && !settings.video_codec.empty() &&
        !format.vcodecs.contains(settings.video_codec)) {
        return problemText(settings, "video_codec", settings.video_codec,
                           settings.container + " 포맷의 비디오 코덱: " + format.able_vcodec);
    }
    if (isTruthy(settings.audio_use) && !settings.audio_codec.empty() &&
        !format.acodecs.contains(settings.audio_codec)) {
        return problemText(settings, "audio_codec", settings.audio_codec,
                           settings.container + " 포맷의 오디오 코덱: " + format.able_acodec);
    }
    for (const ValueRule& rule : kRules) {
        const std::string& value = settings.*rule.field;
        if (!rule.accepts(value)) return problemText(settings, rule.key, value, rule.expected);
    }
    // An empty speed is no speed change only while the change is off; on, it would leave
    // mencoder's -speed without its value.
    if (isTruthy(settings.use_speed) && settings.speed.empty()) {
        return problemText(settings, "speed", settings.speed, "0.01~100 사이의 숫자 (배속)");
    }
    return std::nullopt;
}

}  // namespace torvane
