#pragma once

namespace torvane::app {

// Where the program can be downloaded again, named when its own files are missing.
inline constexpr char kDownloadAddress[] = "https://torvane.kr/download";

}  // namespace torvane::app
