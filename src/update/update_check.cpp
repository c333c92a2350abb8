#include "update/update_check.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "platform/file_system.h"
#include "settings/option_store.h"
#include "update/file_digest.h"
#include "update/program_version.h"

namespace torvane {
namespace {

constexpr std::string_view kFallbackInstallerName = "torvane-update";

std::string lastPathPart(std::string_view text) {
    if (const std::size_t slash = text.find_last_of('\\'); slash != std::string_view::npos) {
        text.remove_prefix(slash + 1);
    }
    if (const std::size_t slash = text.find_last_of('/'); slash != std::string_view::npos) {
        text.remove_prefix(slash + 1);
    }
    return std::string(text);
}

// A hidden name beside the installer, unique to this download, so a half-received or rejected
// file never stands under the installer's name.
std::string makePartialFile(const std::string& folder) {
    std::string pattern = joinPath(folder, ".download-XXXXXX");
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) return {};
    ::close(fd);
    return pattern;
}

long long fileSize(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? static_cast<long long>(info.st_size) : -1;
}

}  // namespace

std::string updateAddress(const OptionStore& options, std::string_view pathAndQuery) {
    std::string server = options.getOption("updateserver", findOption("updateserver")->defaultValue);
    while (!server.empty() && server.back() == '/') server.pop_back();
    return server.append(pathAndQuery);
}

long long installedVersion(const OptionStore& options) {
    return std::max<long long>(kProgramVersionNumber, options.getOptionInt("ver", "0"));
}

UpdateServerAnswer askUpdateServer(const OptionStore& options, bool automaticCheck, std::time_t now,
                                   const DownloadLimits& limits, const std::atomic<bool>* cancel) {
    UpdateServerAnswer answer;
    answer.installedVersion = installedVersion(options);
    if (automaticCheck) {
        const long long putOffAt = options.getOptionInt("updatecheckdontview", "0");
        if (now < putOffAt + kUpdateReminderPause) {
            answer.outcome = UpdateServerAnswer::Outcome::putOff;
            return answer;
        }
    }

    const std::string address = updateAddress(
        options, "/version.php?ver=" + std::to_string(answer.installedVersion) + "&a=" + (automaticCheck ? "1" : "0"));
    DownloadLimits answerLimits = limits;
    answerLimits.maxBytes = kMaxUpdateAnswerBytes;
    const std::optional<std::string> text = downloadText(address, answerLimits, cancel);
    if (!text) return answer;

    answer.response = parseUpdateResponse(*text);
    options.setOption("ad", answer.response.ad);
    options.setOption("ad2", answer.response.ad2);
    answer.outcome = answer.installedVersion >= answer.response.version ? UpdateServerAnswer::Outcome::upToDate
                                                                        : UpdateServerAnswer::Outcome::newerVersion;
    return answer;
}

std::string installerFileName(const UpdateResponse& response) {
    std::string name;
    if (!response.downloadSaveAsName.empty()) {
        name = lastPathPart(response.downloadSaveAsName);
    } else {
        const std::string_view url = response.downloadUrl;
        name = lastPathPart(url.substr(0, url.find_first_of("?#")));
    }
    if (name.empty() || name == "." || name == "..") return std::string(kFallbackInstallerName);
    return name;
}

InstallerDownload downloadInstaller(const UpdateResponse& response, const std::string& folder,
                                    const DownloadLimits& limits, const std::atomic<bool>* cancel) {
    if (response.downloadUrl.empty()) return {false, {}, "the answer names no installer"};
    const std::string partial = makePartialFile(folder);
    if (partial.empty()) return {false, {}, "cannot write into " + folder};

    DownloadLimits installerLimits = limits;
    if (response.downloadSize >= 1) installerLimits.maxBytes = response.downloadSize;
    const DownloadOutcome outcome = downloadToFile(response.downloadUrl, partial, false, installerLimits, cancel);
    const auto refuse = [&partial](std::string reason) {
        std::remove(partial.c_str());
        return InstallerDownload{false, {}, std::move(reason)};
    };
    if (!outcome.ok) return refuse(outcome.error);

    const long long size = fileSize(partial);
    if (response.downloadSize >= 1 && size != response.downloadSize) {
        return refuse("the installer has " + std::to_string(size) + " bytes, not the announced " +
                      std::to_string(response.downloadSize));
    }
    if (!response.downloadSha256.empty() && fileSha256(partial) != response.downloadSha256) {
        return refuse("the installer's SHA-256 is not the announced one");
    }

    const std::string path = joinPath(folder, installerFileName(response));
    if (std::rename(partial.c_str(), path.c_str()) != 0) return refuse("cannot store " + path);
    return {true, path, {}};
}

}  // namespace torvane
