#include "media/probe_path.h"

#include <fcntl.h>
#include <unistd.h>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/file_system.h"
#include "platform/name_text.h"
#include "platform/private_folder.h"
#include "platform/system_call.h"
#include "platform/text_encoding.h"

namespace torvane {
namespace {

void replaceEvery(std::string& text, const std::string& from, const std::string& to) {
    if (from.empty()) return;
    for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
}

}  // namespace

ProbePath::ProbePath(const std::string& path) : path_(path) {
    if (isValidUtf8(path)) return;
    shownPath_ = nameText(path);
    shownFolder_ = nameText(parentFolder(path));
    // The link must name the file wherever the link is: from the current folder, a relative path.
    std::error_code error;
    const std::string target = std::filesystem::absolute(path, error).string();
    if (!error && linkInPrivateFolder(target, nameText(fileNamePart(path)))) return;
    descriptor_ = retryOnInterrupt([&] { return ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK); });
    if (descriptor_ >= 0) path_ = "/proc/self/fd/" + std::to_string(descriptor_);
}

ProbePath::~ProbePath() {
    if (!link_.empty()) ::unlink(link_.c_str());
    if (!linkFolder_.empty()) ::rmdir(linkFolder_.c_str());
    if (descriptor_ >= 0) ::close(descriptor_);
}

bool ProbePath::linkInPrivateFolder(const std::string& target, const std::string& shownName) {
    const std::string privateFolder = privateTemporaryFolder();
    if (privateFolder.empty()) return false;
    std::string folder = privateFolder + "/probe.XXXXXX";
    if (::mkdtemp(folder.data()) == nullptr) return false;
    // The shown name, so the library's reports name the file as the list does; a shorter one
    // with the same extension when that name is too long for the folder.
    const auto dot = shownName.rfind('.');
    const std::string shortName = dot == std::string::npos ? "source" : "source" + shownName.substr(dot);
    for (const std::string& name : {shownName, shortName}) {
        const std::string link = folder + "/" + name;
        if (::symlink(target.c_str(), link.c_str()) == 0) {
            linkFolder_ = folder;
            link_ = link;
            path_ = link;
            return true;
        }
    }
    ::rmdir(folder.c_str());
    return false;
}

std::string ProbePath::shown(std::string text) const {
    if (descriptor_ >= 0) {
        replaceEvery(text, path_, shownPath_);
    } else if (!link_.empty()) {
        replaceEvery(text, link_, shownPath_);
        replaceEvery(text, linkFolder_, shownFolder_);
    }
    return text;
}

}  // namespace torvane
