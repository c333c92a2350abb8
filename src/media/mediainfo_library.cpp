#include "media/mediainfo_library.h"

#include <dlfcn.h>
#include <array>
#include <cstdlib>
#include <vector>

namespace torvane {
namespace {

// Every entry point of the ANSI interface the binding insists on, whether or not it is called:
// a library that lacks any of them is not the library we know.
constexpr std::array<const char*, 28> kRequiredEntryPoints = {
    "MediaInfoA_New",
    "MediaInfoListA_New",
    "MediaInfoA_Delete",
    "MediaInfoListA_Delete",
    "MediaInfoA_Open",
    "MediaInfoListA_Open",
    "MediaInfoA_Open_Buffer_Init",
    "MediaInfoA_Open_Buffer_Continue",
    "MediaInfoA_Open_Buffer_Continue_GoTo_Get",
    "MediaInfoA_Open_Buffer_Finalize",
    "MediaInfoA_Open_NextPacket",
    "MediaInfoA_Close",
    "MediaInfoListA_Close",
    "MediaInfoA_Inform",
    "MediaInfoListA_Inform",
    "MediaInfoA_GetI",
    "MediaInfoListA_GetI",
    "MediaInfoA_Get",
    "MediaInfoListA_Get",
    "MediaInfoA_Output_Buffer_Get",
    "MediaInfoA_Output_Buffer_GetI",
    "MediaInfoA_Option",
    "MediaInfoListA_Option",
    "MediaInfoA_State_Get",
    "MediaInfoListA_State_Get",
    "MediaInfoA_Count_Get",
    "MediaInfoListA_Count_Get",
    "MediaInfoListA_Count_Get_Files",
};

// MediaInfo_Get's info kind "text of the value" and search kind "by parameter name".
constexpr int kInfoText = 1;
constexpr int kInfoName = 0;

std::string textOf(const char* value) {
    return value == nullptr ? std::string() : std::string(value);
}

}  // namespace

struct MediaInfoLibrary::EntryPoints {
    void* (*newHandle)() = nullptr;
    std::size_t (*open)(void*, const char*) = nullptr;
    const char* (*option)(void*, const char*, const char*) = nullptr;
    const char* (*inform)(void*, std::size_t) = nullptr;
    const char* (*get)(void*, int, std::size_t, const char*, int, int) = nullptr;
    void (*close)(void*) = nullptr;
    void (*deleteHandle)(void*) = nullptr;
};

MediaInfoLibrary::MediaInfoLibrary() = default;

MediaInfoLibrary::~MediaInfoLibrary() {
    if (module_ != nullptr) ::dlclose(module_);
    if (utf8Locale_ != nullptr) ::freelocale(utf8Locale_);
}

MediaInfoLibrary& MediaInfoLibrary::instance() {
    // Loaded on first use and kept for the life of the process, like the binding it stands for.
    static const std::unique_ptr<MediaInfoLibrary> library = [] {
        std::vector<std::string> files = {"libmediainfo.so.0", "libmediainfo.so"};
        if (const char* chosen = std::getenv("TORVANE_MEDIAINFO_LIBRARY"); chosen != nullptr && *chosen != '\0') {
            files = {chosen};
        }
        return load(files);
    }();
    return *library;
}

std::unique_ptr<MediaInfoLibrary> MediaInfoLibrary::load(std::span<const std::string> libraryFiles) {
    std::unique_ptr<MediaInfoLibrary> library(new MediaInfoLibrary());
    void* module = nullptr;
    for (const std::string& file : libraryFiles) {
        module = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (module != nullptr) break;
        const char* error = ::dlerror();
        library->loadError_ = error != nullptr ? error : file + ": cannot be loaded";
    }
    if (module == nullptr) return library;

    for (const char* name : kRequiredEntryPoints) {
        if (::dlsym(module, name) == nullptr) {
            library->loadError_ = std::string("the library has no entry point ") + name;
            ::dlclose(module);
            return library;
        }
    }
    auto entries = std::make_unique<EntryPoints>();
    const auto resolve = [module](auto& pointer, const char* name) {
        pointer = reinterpret_cast<std::remove_reference_t<decltype(pointer)>>(::dlsym(module, name));
    };
    resolve(entries->newHandle, "MediaInfoA_New");
    resolve(entries->open, "MediaInfoA_Open");
    resolve(entries->option, "MediaInfoA_Option");
    resolve(entries->inform, "MediaInfoA_Inform");
    resolve(entries->get, "MediaInfoA_Get");
    resolve(entries->close, "MediaInfoA_Close");
    resolve(entries->deleteHandle, "MediaInfoA_Delete");
    for (const char* name : {"C.UTF-8", "C.utf8", "en_US.UTF-8"}) {
        library->utf8Locale_ = ::newlocale(LC_CTYPE_MASK, name, nullptr);
        if (library->utf8Locale_ != nullptr) break;
    }
    library->module_ = module;
    library->entries_ = std::move(entries);
    library->loadError_.clear();
    return library;
}

std::optional<MediaInfoLibrary::Session> MediaInfoLibrary::newSession() {
    if (!isLoaded()) return std::nullopt;
    std::unique_lock lock(probeMutex_);
    const locale_t previous = utf8Locale_ != nullptr ? ::uselocale(utf8Locale_) : nullptr;
    void* handle = entries_->newHandle();
    if (handle == nullptr) {
        if (previous != nullptr) ::uselocale(previous);
        return std::nullopt;
    }
    return Session(*this, handle, std::move(lock), previous);
}

MediaInfoLibrary::Session::Session(const MediaInfoLibrary& library, void* handle, std::unique_lock<std::mutex> lock,
                                   locale_t previousLocale)
    : library_(&library), handle_(handle), lock_(std::move(lock)), previousLocale_(previousLocale) {}

MediaInfoLibrary::Session::Session(Session&& other) noexcept
    : library_(other.library_),
      handle_(other.handle_),
      lock_(std::move(other.lock_)),
      previousLocale_(other.previousLocale_) {
    other.handle_ = nullptr;
    other.previousLocale_ = nullptr;
}

MediaInfoLibrary::Session::~Session() {
    if (handle_ != nullptr) {
        library_->entries_->close(handle_);
        library_->entries_->deleteHandle(handle_);
    }
    if (previousLocale_ != nullptr) ::uselocale(previousLocale_);
}

void MediaInfoLibrary::Session::open(const std::string& path) {
    library_->entries_->open(handle_, path.c_str());
}

void MediaInfoLibrary::Session::option(std::string_view name, std::string_view value) {
    library_->entries_->option(handle_, std::string(name).c_str(), std::string(value).c_str());
}

std::string MediaInfoLibrary::Session::inform() {
    return textOf(library_->entries_->inform(handle_, 0));
}

std::string MediaInfoLibrary::Session::get(StreamKind kind, std::string_view parameter) {
    return textOf(library_->entries_->get(handle_, static_cast<int>(kind), 0, std::string(parameter).c_str(), kInfoText,
                                          kInfoName));
}

}  // namespace torvane
