#include <ctime>
#include <iostream>

#include "cli/cli_command.h"
#include "platform/private_folder.h"
#include "settings/option_store.h"
#include "update/update_check.h"

namespace torvane::cli {

// The manual update check without a window: what is installed, what the server offers, and on
// request the installer, fetched and checked but never started.
int runUpdate(const CliContext& context, std::span<const std::string> arguments) {
    bool download = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        if (arguments[i] == "--check") continue;
        if (arguments[i] == "--download") {
            download = true;
            continue;
        }
        return usageError("update", "unknown argument " + arguments[i]);
    }

    const OptionStore options(context.configFolder);
    const UpdateServerAnswer answer = askUpdateServer(options, false, std::time(nullptr), DownloadLimits{});
    std::cout << "installed version: " << answer.installedVersion << "\n";
    if (answer.outcome == UpdateServerAnswer::Outcome::noAnswer) {
        return failure("update", "the update server did not answer: " + updateAddress(options, "/version.php"));
    }
    std::cout << "offered version: " << answer.response.version << "\n";
    if (answer.outcome == UpdateServerAnswer::Outcome::upToDate) {
        std::cout << "최신버전을 사용하고 계십니다.\n";
        return kExitOk;
    }
    std::cout << "message:\n" << answer.response.message << "\n";
    if (!download) return kExitOk;

    const std::string folder = privateTemporaryFolder();
    if (folder.empty()) return failure("update", "no private temporary folder can be made");
    const InstallerDownload installer = downloadInstaller(answer.response, folder, DownloadLimits{});
    if (!installer.ok) return failure("update", "the installer was not downloaded: " + installer.reason);
    std::cout << "installer: " << installer.path << "\n";
    return kExitOk;
}

}  // namespace torvane::cli
