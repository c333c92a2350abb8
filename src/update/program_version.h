#pragma once

#include <string_view>

namespace torvane {

class OptionStore;

// This build's version, from the project's one version: as text ("1.80.0"), as the short text
// the window shows ("1.80"), and as the number the update server compares with its newest.
inline constexpr std::string_view kProgramVersionText = TORVANE_VERSION_TEXT;
inline constexpr std::string_view kProgramVersionShortText = TORVANE_VERSION_SHORT;
inline constexpr long long kProgramVersionNumber = TORVANE_VERSION_NUMBER;

// The installed version: the stored "ver" that an installation may write, but never lower than
// this build's own number (a store without it, or one left by an older installation, must not
// have the running version offered to it again).
long long installedVersion(const OptionStore& options);

}  // namespace torvane
