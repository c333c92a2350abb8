#pragma once

#include <span>
#include <string>
#include <string_view>

#include "platform/option_file.h"

namespace torvane {

// One named application option or remembered value, with the default its readers use.
struct OptionDefinition {
    std::string_view name;
    std::string_view defaultValue;
    std::string_view meaning;
};

// Every option and remembered value the program reads, in the order the options list shows
// them. "lastpreset" defaults to the program folder's common_avi.ini: see defaultOptionValue.
std::span<const OptionDefinition> knownOptions();
const OptionDefinition* findOption(std::string_view name);
std::string defaultOptionValue(const OptionDefinition& option, const std::string& programFolder);

// Longest stored value that is read back (a longer one reads as missing), in bytes.
inline constexpr std::size_t kMaxOptionValueBytes = 511;

// Application options and remembered values. Nothing is cached: every read goes to the store,
// so a change made elsewhere takes effect at the next read.
class OptionStore {
public:
    explicit OptionStore(std::string folder);

    const std::string& folder() const { return file_.folder(); }

    // The stored text, or the default when the store cannot be read, the value is missing,
    // empty, or longer than kMaxOptionValueBytes.
    std::string getOption(std::string_view name, std::string_view defaultValue) const;
    // getOption, then the leading decimal number of the text (0 when there is none).
    long long getOptionInt(std::string_view name, std::string_view defaultValue) const;
    // False when the value could not be stored; nothing is reported to the user.
    bool setOption(std::string_view name, std::string_view value) const;

    std::string lastOpenFolder() const;
    bool setLastOpenFolder(std::string_view folder) const;

private:
    OptionFile file_;
};

}  // namespace torvane
