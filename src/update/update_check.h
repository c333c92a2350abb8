#pragma once

#include <atomic>
#include <ctime>
#include <string>
#include <string_view>

#include "update/http_download.h"
#include "update/update_response.h"

namespace torvane {

class OptionStore;

// A user who asked not to be reminded is left alone this long by the automatic check.
inline constexpr std::time_t kUpdateReminderPause = 3 * 24 * 60 * 60;

// The answer of "/version.php" is a few lines; anything much larger is not one.
inline constexpr long long kMaxUpdateAnswerBytes = 64 * 1024;

// The address of a page of the update server: "updateserver" without a trailing '/', then the
// path and query, e.g. updateAddress(options, "/version.php?ver=7&a=1").
std::string updateAddress(const OptionStore& options, std::string_view pathAndQuery);

struct UpdateServerAnswer {
    enum class Outcome {
        putOff,        // the automatic check within the three days the user asked for; no request made
        noAnswer,      // the server could not be reached or answered with an error
        upToDate,      // the installed version is the server's or newer
        newerVersion,  // the server offers a newer version
    };
    Outcome outcome = Outcome::noAnswer;
    long long installedVersion = 0;
    UpdateResponse response;
};

// Asks the update server whether a newer version exists, the first half of an update check:
// reads "ver", honours "updatecheckdontview" for an automatic check, requests
// "/version.php?ver=N&a=0|1", and stores the answer's "ad" and "ad2". Runs on any thread.
UpdateServerAnswer askUpdateServer(const OptionStore& options, bool automaticCheck, std::time_t now,
                                   const DownloadLimits& limits, const std::atomic<bool>* cancel = nullptr);

// The installer's file name: the last part (after the last '\', then the last '/') of
// "download_saveasname", or of "download_url" without its query when that is empty. A name that
// could leave the folder or is empty becomes "torvane-update".
std::string installerFileName(const UpdateResponse& response);

struct InstallerDownload {
    bool ok = false;
    std::string path;    // the installer, on success
    std::string reason;  // why not, otherwise
};

// Downloads the offered installer into the folder under installerFileName. The file appears
// under its name only complete and checked: its size against "download_size" (when at least 1)
// and its SHA-256 against "download_sha256" (when given); a file that fails either is removed.
InstallerDownload downloadInstaller(const UpdateResponse& response, const std::string& folder,
                                    const DownloadLimits& limits, const std::atomic<bool>* cancel = nullptr);

}  // namespace torvane
