#pragma once

#include <string>

namespace torvane {

class EncodeSettings;
class FormatCatalogue;
struct PlaceholderValues;
struct SourceItem;

// The four rows of the "생성될 정보" panel: what converting this source with these settings
// would produce. The first three rows have two lines separated by "\n".
struct SettingsSummary {
    std::string file;   // output name; format, playing time and total bit rate
    std::string video;  // codec; size, frame rate, bit rate
    std::string audio;  // codec; bit-rate mode, bit rate, channels, sampling rate
    std::string other;  // what becomes of the subtitle ("자막 입힘: movie.smi"); empty for nothing
};

// The rows show the settings' texts as stored, even where a check leaves them unused, so the
// user sees what the preset holds.
SettingsSummary summarizeSettings(const EncodeSettings& settings, const FormatCatalogue& catalogue,
                                  const SourceItem& item, const PlaceholderValues& values);

}  // namespace torvane
