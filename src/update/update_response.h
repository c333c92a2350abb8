#pragma once

#include <string>
#include <string_view>

namespace torvane {

// The update server's answer to "/version.php": an INI text with a CONFIG and a TORVANE section.
// Missing keys keep the defaults below, so an empty or foreign answer offers no update.
struct UpdateResponse {
    std::string charset;
    std::string ad = "n";
    std::string ad2 = "n";
    long long version = 0;
    std::string downloadUrl;
    long long downloadSize = 0;
    std::string message;
    std::string downloadSaveAsName;
    std::string downloadArgs;
    // Lower-case hexadecimal SHA-256 of the installer; empty in answers that do not carry it.
    std::string downloadSha256;
    long long presetVersion = 0;
    std::string presetUrl;
    long long presetSize = 0;
    std::string presetMessage;
};

// Reads the answer with the profile-file rules (names without regard to case, values cut to
// 1023 bytes). Texts come out as UTF-8: an answer that is not valid UTF-8 is read as CP949,
// the code page the server writes when its "charset" is not "utf-8".
UpdateResponse parseUpdateResponse(std::string_view bytes);

// "\r" and "\n" written as two characters become a carriage return and a line feed.
std::string expandLineEscapes(std::string_view text);

}  // namespace torvane
