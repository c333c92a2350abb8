#pragma once

#include <string>

namespace torvane {

// A path the MediaInfo library can open for a file of any name. Its ANSI interface turns the
// path into wide characters with the thread's UTF-8 locale, so it cannot open a name that is not
// UTF-8 (CP949 names from Windows disks, for one). Such a file is reached through a link in a
// private folder of ours, named as the file is shown, and the library's texts are given back
// with the real path as shown (nameText). Without a private folder, the file's open descriptor
// stands in. The link and its folder are removed when this ends.
class ProbePath {
public:
    explicit ProbePath(const std::string& path);
    ~ProbePath();
    ProbePath(const ProbePath&) = delete;
    ProbePath& operator=(const ProbePath&) = delete;

    // What the library is given to open: the path itself when it is UTF-8.
    const std::string& path() const { return path_; }
    // A text from the library with the stand-in's path and folder replaced by the real ones.
    std::string shown(std::string text) const;

private:
    bool linkInPrivateFolder(const std::string& target, const std::string& shownName);

    std::string path_;
    std::string linkFolder_;  // the link's own folder; empty when there is no link
    std::string link_;
    int descriptor_ = -1;  // the stand-in without a link
    std::string shownPath_;
    std::string shownFolder_;
};

}  // namespace torvane
