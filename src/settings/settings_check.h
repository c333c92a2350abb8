#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace torvane {

class EncodeSettings;
class FormatCatalogue;

// What every refusal of a settings value starts with.
inline constexpr std::string_view kBadSettingsMessage = "프리셋 값이 올바르지 않습니다: ";

// Checks every value of the settings that a command line is built from: numbers are plain
// numbers in the range the encoders take, flags and choices are texts that mean something,
// the container is in the catalogue and the codecs in that container. The first value that
// fails gives the message the user reads, naming the profile file, the key and the value:
//   프리셋 값이 올바르지 않습니다: /path/x.ini 의 video_fps = "15 -f mp4" (0보다 큰 숫자 ...)
// nullopt when all values are usable. plusparam and plusparam2 are the user's own encoder
// options and are not checked; texts without a command-line use (info_*) neither.
std::optional<std::string> settingsProblem(const EncodeSettings& settings, const FormatCatalogue& catalogue);

}  // namespace torvane
