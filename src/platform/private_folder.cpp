#include "platform/private_folder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

namespace torvane {

bool isPrivateFolderOfOurs(const std::string& folder) {
    struct stat info {};
    return ::lstat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::getuid() &&
           (info.st_mode & 077) == 0;
}

std::string privateTemporaryFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::string folder = runtime != nullptr && runtime[0] == '/' ? std::string(runtime) + "/torvane"
                                                                 : "/tmp/torvane" + std::to_string(::getuid());
    ::mkdir(folder.c_str(), 0700);
    return isPrivateFolderOfOurs(folder) ? folder : std::string();
}

}  // namespace torvane
