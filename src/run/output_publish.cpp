#include "run/output_publish.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/random.h>
#include <unistd.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "platform/file_system.h"
#include "platform/system_call.h"

namespace torvane {
namespace {

constexpr std::string_view kTagPrefix = ".torvane-part-";
// A folder with this many "name(N).ext" files taken is not a folder to keep counting in.
constexpr int kMaxNumberedNames = 10000;

enum class MoveResult { Moved, Taken, Failed };

// Where the file system has no no-replace rename, the name is claimed with an exclusive create
// and then replaced by the temporary: only our own empty claim is ever replaced.
MoveResult moveByClaim(const std::string& from, const std::string& to, int* error) {
    const int claim =
        retryOnInterrupt([&] { return ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666); });
    if (claim < 0) {
        *error = errno;
        return errno == EEXIST ? MoveResult::Taken : MoveResult::Failed;
    }
    ::close(claim);
    if (::rename(from.c_str(), to.c_str()) == 0) return MoveResult::Moved;
    *error = errno;
    ::unlink(to.c_str());
    return MoveResult::Failed;
}

MoveResult moveWithoutReplacing(const std::string& from, const std::string& to, int* error) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return MoveResult::Moved;
    *error = errno;
    if (errno == EEXIST) return MoveResult::Taken;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return MoveResult::Failed;
    // The file system cannot rename without replacing: a hard link cannot replace either.
    if (::link(from.c_str(), to.c_str()) == 0) {
        ::unlink(from.c_str());
        return MoveResult::Moved;
    }
    *error = errno;
    if (errno == EEXIST) return MoveResult::Taken;
    return moveByClaim(from, to, error);
}

}  // namespace

std::string numberedOutputName(const std::string& finalPath, int number) {
    if (number == 0) return finalPath;
    const std::string folder(parentFolder(finalPath));
    const std::string_view name = fileNamePart(finalPath);
    const auto dot = name.rfind('.');
    const std::string_view stem = dot == std::string_view::npos || dot == 0 ? name : name.substr(0, dot);
    const std::string_view extension = stem.size() == name.size() ? std::string_view{} : name.substr(dot);
    return folder + "/" + std::string(stem) + "(" + std::to_string(number) + ")" + std::string(extension);
}

std::string temporaryOutputTag() {
    // The process id tells a later start whose file it was; the random part keeps two runs of
    // one process (and a reused id) apart.
    std::uint64_t token = 0;
    if (::getrandom(&token, sizeof token, 0) != sizeof token) {
        token = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    }
    char hex[17];
    std::snprintf(hex, sizeof hex, "%012llx", static_cast<unsigned long long>(token & 0xFFFFFFFFFFFFull));
    return std::string(kTagPrefix.substr(1)) + std::to_string(::getpid()) + "-" + hex;
}

bool createTemporaryOutput(const std::string& path, std::string* reason) {
    const int fd =
        retryOnInterrupt([&] { return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666); });
    if (fd >= 0) {
        ::close(fd);
        return true;
    }
    const int error = errno;
    if (reason != nullptr) {
        const std::string folder(parentFolder(path));
        if (error == EACCES || error == EPERM || error == EROFS) {
            *reason = "쓰기 권한이 없습니다: " + folder;
        } else if (error == ENOSPC || error == EDQUOT) {
            *reason = "저장 공간이 부족합니다: " + folder;
        } else if (error == ENOENT || error == ENOTDIR) {
            *reason = "저장 폴더가 없습니다: " + folder;
        } else {
            *reason = "출력 파일을 만들 수 없습니다: " + path + " (" + std::strerror(error) + ")";
        }
    }
    return false;
}

std::string publishOutput(const std::string& temporaryPath, const std::string& finalPath, std::string* reason) {
    int error = 0;
    for (int number = 0; number <= kMaxNumberedNames; ++number) {
        const std::string candidate = numberedOutputName(finalPath, number);
        switch (moveWithoutReplacing(temporaryPath, candidate, &error)) {
            case MoveResult::Moved:
                return candidate;
            case MoveResult::Taken:
                continue;
            case MoveResult::Failed:
                if (reason != nullptr) {
                    *reason = "완성된 파일을 " + candidate + "(으)로 옮기지 못했습니다: " + std::strerror(error);
                }
                return {};
        }
    }
    if (reason != nullptr) *reason = "저장 폴더에 같은 이름의 파일이 너무 많습니다: " + finalPath;
    return {};
}

int removeAbandonedTemporaryOutputs(const std::string& folder) {
    DIR* listing = ::opendir(folder.c_str());
    if (listing == nullptr) return 0;
    int removed = 0;
    while (const dirent* entry = ::readdir(listing)) {
        const std::string_view name = entry->d_name;
        const auto at = name.find(kTagPrefix);
        if (!name.starts_with('.') || at == std::string_view::npos) continue;
        const std::string_view rest = name.substr(at + kTagPrefix.size());
        const auto dash = rest.find('-');
        if (dash == 0 || dash == std::string_view::npos ||
            rest.substr(0, dash).find_first_not_of("0123456789") != std::string_view::npos || dash > 9) {
            continue;
        }
        const pid_t pid = static_cast<pid_t>(std::stol(std::string(rest.substr(0, dash))));
        // A process that still runs may still be writing: only the files of the gone are removed.
        if (pid <= 0 || ::kill(pid, 0) == 0 || errno != ESRCH) continue;
        if (::unlinkat(::dirfd(listing), entry->d_name, 0) == 0) ++removed;
    }
    ::closedir(listing);
    return removed;
}

}  // namespace torvane
