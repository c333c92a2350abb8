#include "platform/file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/system_call.h"

namespace torvane {
namespace {

void setError(FileError* error, std::string_view what, const std::string& path, int errorNumber) {
    if (error == nullptr) return;
    error->message = std::string(what) + " " + path + ": " + std::strerror(errorNumber);
}

}  // namespace

bool pathExists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

bool isDirectory(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool isFileNotFolder(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

bool isNonEmptyFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode) && info.st_size > 0;
}

std::string joinPath(std::string_view folder, std::string_view name) {
    std::string path(folder);
    if (!path.empty() && path.back() != '/') path += '/';
    while (!name.empty() && name.front() == '/' && !path.empty()) name.remove_prefix(1);
    path += name;
    return path;
}

std::string_view parentFolder(std::string_view path) {
    const auto slash = path.rfind('/');
    if (slash == std::string_view::npos) return {};
    if (slash == 0) return path.substr(0, 1);
    return path.substr(0, slash);
}

std::string_view fileNamePart(std::string_view path) {
    const auto slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::optional<std::string> readFileBytes(const std::string& path, std::size_t maxBytes) {
    const int fd = retryOnInterrupt([&] { return ::open(path.c_str(), O_RDONLY | O_CLOEXEC); });
    if (fd < 0) return std::nullopt;
    std::string content;
    char buffer[65536];
    bool failed = false;
    while (content.size() < maxBytes) {
        const std::size_t want = std::min(sizeof buffer, maxBytes - content.size());
        const ssize_t got = retryOnInterrupt([&] { return ::read(fd, buffer, want); });
        if (got < 0) {
            failed = true;
            break;
        }
        if (got == 0) break;
        content.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(fd);
    if (failed) return std::nullopt;
    return content;
}

bool writeFileAtomically(const std::string& path, std::string_view content, FileError* error) {
    // Built by appending: GCC 12's -Wrestrict misreads the same text built with operator+ in
    // optimised builds.
    const std::string_view parent = parentFolder(path);
    const std::string folder = parent.empty() ? std::string(".") : std::string(parent);
    std::string name(".");
    name.append(fileNamePart(path));
    name.append(".XXXXXX");
    std::string temporary = joinPath(folder, name);
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        setError(error, "cannot create a temporary file in", folder, errno);
        return false;
    }
    const auto fail = [&](std::string_view what, const std::string& about) {
        const int saved = errno;
        ::close(fd);
        ::unlink(temporary.c_str());
        setError(error, what, about, saved);
        return false;
    };
    std::size_t written = 0;
    while (written < content.size()) {
        const ssize_t n =
            retryOnInterrupt([&] { return ::write(fd, content.data() + written, content.size() - written); });
        if (n < 0) return fail("cannot write", temporary);
        written += static_cast<std::size_t>(n);
    }
    // The store is readable by its owner only, like the rest of the user's configuration.
    if (::fchmod(fd, 0600) != 0) return fail("cannot set the mode of", temporary);
    if (::fsync(fd) != 0) return fail("cannot flush", temporary);
    if (::close(fd) != 0) {
        const int saved = errno;
        ::unlink(temporary.c_str());
        setError(error, "cannot close", temporary, saved);
        return false;
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        const int saved = errno;
        ::unlink(temporary.c_str());
        setError(error, "cannot replace", path, saved);
        return false;
    }
    // Make the rename itself durable.
    const int folderFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd >= 0) {
        ::fsync(folderFd);
        ::close(folderFd);
    }
    return true;
}

bool makeFolders(const std::string& path, FileError* error) {
    if (path.empty()) return false;
    if (isDirectory(path)) return true;
    const std::string parent(parentFolder(path));
    if (!parent.empty() && parent != path && !makeFolders(parent, error)) return false;
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
        setError(error, "cannot create the folder", path, errno);
        return false;
    }
    return isDirectory(path);
}

FolderListing listFolder(const std::string& path) {
    FolderListing listing;
    DIR* dir = ::opendir(path.c_str());
    if (dir == nullptr) return listing;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        if (isDirectory(joinPath(path, name))) {
            listing.folders.push_back(name);
        } else {
            listing.files.push_back(name);
        }
    }
    ::closedir(dir);
    std::sort(listing.folders.begin(), listing.folders.end());
    std::sort(listing.files.begin(), listing.files.end());
    return listing;
}

std::string executableFolder() {
    std::string buffer(4096, '\0');
    const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length <= 0) return ".";
    buffer.resize(static_cast<std::size_t>(length));
    return std::string(parentFolder(buffer));
}

std::string homeFolder() {
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') return home;
    if (const passwd* entry = ::getpwuid(::getuid()); entry != nullptr && entry->pw_dir != nullptr) {
        return entry->pw_dir;
    }
    return "/";
}

}  // namespace torvane
