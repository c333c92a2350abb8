#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace torvane {

// A file-system call that failed, with the errno text and the path it was about.
struct FileError {
    std::string message;
};

bool pathExists(const std::string& path);
bool isDirectory(const std::string& path);
// Exists and is not a folder (a regular file, or a link or device that reads like one).
bool isFileNotFolder(const std::string& path);
// A file (not a folder) of at least one byte.
bool isNonEmptyFile(const std::string& path);

// Joins a folder and a name with exactly one separator.
std::string joinPath(std::string_view folder, std::string_view name);
// The text before the last '/', empty when there is none.
std::string_view parentFolder(std::string_view path);
// The text after the last '/'.
std::string_view fileNamePart(std::string_view path);

// Reads at most maxBytes bytes of a file; nullopt when it cannot be opened or read.
std::optional<std::string> readFileBytes(const std::string& path, std::size_t maxBytes);

// Replaces the file with the content so that a reader sees either the old or the new file,
// never a part: temporary file in the same folder, fsync, rename, fsync of the folder.
bool writeFileAtomically(const std::string& path, std::string_view content, FileError* error = nullptr);

// Creates the folder and any missing parents (mode 0700 for new ones).
bool makeFolders(const std::string& path, FileError* error = nullptr);

// The entries of a folder, "." and ".." left out, sorted byte-wise by name.
struct FolderListing {
    std::vector<std::string> folders;
    std::vector<std::string> files;
};
FolderListing listFolder(const std::string& path);

// The folder of the running executable (no trailing separator).
std::string executableFolder();

// The user's home folder: $HOME, else the password database entry.
std::string homeFolder();

}  // namespace torvane
