#include "update/update_response.h"

#include <cctype>

#include "platform/ini_file.h"
#include "settings/text_rules.h"

namespace torvane {
namespace {

constexpr std::string_view kConfig = "CONFIG";
constexpr std::string_view kTorvane = "TORVANE";

std::string replaceAll(std::string_view text, std::string_view from, std::string_view to) {
    std::string result;
    std::size_t start = 0;
    for (std::size_t found = text.find(from); found != std::string_view::npos; found = text.find(from, start)) {
        result.append(text.substr(start, found - start)).append(to);
        start = found + from.size();
    }
    result.append(text.substr(start));
    return result;
}

std::string lowerAscii(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace

std::string expandLineEscapes(std::string_view text) {
    return replaceAll(replaceAll(text, "\\r", "\r"), "\\n", "\n");
}

UpdateResponse parseUpdateResponse(std::string_view bytes) {
    const IniFile ini = IniFile::fromText(bytes);
    const auto text = [&ini](std::string_view section, std::string_view key, std::string_view fallback) {
        return ini.getString(section, key, fallback, kCatalogueValueBuffer);
    };
    const auto number = [&text](std::string_view key) { return leadingInteger(text(kTorvane, key, "")); };

    UpdateResponse response;
    response.charset = text(kConfig, "charset", "");
    response.ad = text(kConfig, "ad", "n");
    response.ad2 = text(kConfig, "ad2", "n");
    response.version = number("ver");
    response.downloadUrl = text(kTorvane, "download_url", "");
    response.downloadSize = number("download_size");
    response.message = expandLineEscapes(text(kTorvane, "msg", ""));
    response.downloadSaveAsName = text(kTorvane, "download_saveasname", "");
    response.downloadArgs = text(kTorvane, "download_args", "");
    response.downloadSha256 = lowerAscii(text(kTorvane, "download_sha256", ""));
    response.presetVersion = number("preset_ver");
    response.presetUrl = text(kTorvane, "preset_url", "");
    response.presetSize = number("preset_size");
    response.presetMessage = expandLineEscapes(text(kTorvane, "preset_msg", ""));
    return response;
}

}  // namespace torvane
