#pragma once

#include <atomic>
#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace torvane {

// How long a download may take. A server that accepts and then says nothing is given up on
// after `stalled`, so a check never hangs on a dead server.
struct DownloadLimits {
    std::chrono::milliseconds connect{std::chrono::seconds(10)};
    std::chrono::milliseconds stalled{std::chrono::seconds(20)};
    // 0: no limit on the whole transfer.
    std::chrono::milliseconds total{0};
    // 0: no limit on the size.
    long long maxBytes = 0;
};

struct DownloadOutcome {
    bool ok = false;
    // Why it failed, in curl's words or ours; empty on success.
    std::string error;
};

// True for https addresses, and for plain http only to this machine (127.0.0.0/8, ::1,
// localhost): what we download is executed by the user in the end, so it must come over TLS.
bool isPermittedDownloadAddress(std::string_view url);

// Fetches the address into the file (created or emptied; a symbolic link is not followed),
// asking caches along the way for a fresh copy. An HTTP error status is a failure. With
// deleteAfter the file is removed again whatever happened. `cancel`, when set from another
// thread, ends the transfer within a fraction of a second.
DownloadOutcome downloadToFile(const std::string& url, const std::string& path, bool deleteAfter,
                               const DownloadLimits& limits, const std::atomic<bool>* cancel = nullptr);

// The same into memory, for small answers; nullopt on any failure or past limits.maxBytes.
std::optional<std::string> downloadText(const std::string& url, const DownloadLimits& limits,
                                        const std::atomic<bool>* cancel = nullptr);

}  // namespace torvane
