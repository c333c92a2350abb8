#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace torvane {

// The persistent store behind the application options: the text file options.ini in one
// folder, section [torvane], one name=value line each, UTF-8. Names match without regard to
// ASCII case. A backslash, carriage return or line feed in a value is written as \\, \r or \n
// so that every value stays on its line. Lines the store does not understand (other sections,
// hand-written notes) are kept as they are when a value is written.
//
// Writes lock the folder's options.ini.lock around read-modify-write and replace the file
// atomically, so two processes writing different names at once lose neither, and a crash
// leaves the old file or the new one, never a part. Reads take no lock.
class OptionFile {
public:
    static constexpr std::string_view kFileName = "options.ini";
    static constexpr std::string_view kSectionName = "torvane";

    explicit OptionFile(std::string folder);

    const std::string& folder() const { return folder_; }
    std::string filePath() const;

    // The stored value; nullopt when the file, or the name in it, is missing or unreadable.
    std::optional<std::string> read(std::string_view name) const;

    // Creates the folder when needed; false when the value could not be stored.
    bool write(std::string_view name, std::string_view value) const;

private:
    std::string folder_;
};

}  // namespace torvane
