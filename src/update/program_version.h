#pragma once

namespace torvane {

class OptionStore;

// This build's version number, the one the update server compares with its newest.
inline constexpr long long kProgramVersionNumber = TORVANE_VERSION_NUMBER;

// The installed version: the stored "ver" that an installation may write, but never lower than
// this build's own number (a store without it, or one left by an older installation, must not
// have the running version offered to it again).
long long installedVersion(const OptionStore& options);

}  // namespace torvane
