#pragma once

#include <locale.h>
#include <cstddef>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace torvane {

// The MediaInfo library bound at run time with dlopen. The process-wide binding is loaded once;
// a probe sets library options and reads the reports they govern, so sessions are serialised:
// while one Session lives, another waits.
class MediaInfoLibrary {
public:
    enum class StreamKind { General = 0, Video = 1, Audio = 2, Text = 3 };

    // The Debian package that provides the library, named in the message when it is missing.
    static constexpr std::string_view kDebianPackage = "libmediainfo0v5";
    // What the application says before it ends when the library cannot be bound.
    static constexpr std::string_view kMissingMessage = "MediaInfo.dll 파일이 필요합니다. ";

    // The process-wide binding: libmediainfo.so.0, then libmediainfo.so, or the file named by
    // $TORVANE_MEDIAINFO_LIBRARY when that is set.
    static MediaInfoLibrary& instance();

    // Tries each file in order; the first that loads decides.
    static std::unique_ptr<MediaInfoLibrary> load(std::span<const std::string> libraryFiles);

    ~MediaInfoLibrary();
    MediaInfoLibrary(const MediaInfoLibrary&) = delete;
    MediaInfoLibrary& operator=(const MediaInfoLibrary&) = delete;

    bool isLoaded() const { return module_ != nullptr; }
    // Why the library could not be bound: the loader's message or the missing entry point.
    const std::string& loadError() const { return loadError_; }

    // One library handle, used by one probe at a time, on the thread that made it. The library's
    // ANSI interface converts texts with the thread's locale, so the session switches its
    // thread to a UTF-8 locale while it lives: paths and reports are UTF-8 whatever the
    // process locale is.
    class Session {
    public:
        ~Session();
        Session(Session&& other) noexcept;
        Session(const Session&) = delete;
        Session& operator=(const Session&) = delete;
        Session& operator=(Session&&) = delete;

        void open(const std::string& path);
        void option(std::string_view name, std::string_view value);
        std::string inform();
        std::string get(StreamKind kind, std::string_view parameter);

    private:
        friend class MediaInfoLibrary;
        Session(const MediaInfoLibrary& library, void* handle, std::unique_lock<std::mutex> lock,
                locale_t previousLocale);
        const MediaInfoLibrary* library_;
        void* handle_;
        std::unique_lock<std::mutex> lock_;
        locale_t previousLocale_;
    };

    // A new library handle; nullopt when the library is not loaded or makes no handle.
    std::optional<Session> newSession();

private:
    struct EntryPoints;
    MediaInfoLibrary();

    void* module_ = nullptr;
    std::unique_ptr<EntryPoints> entries_;
    std::string loadError_;
    locale_t utf8Locale_ = nullptr;
    std::mutex probeMutex_;
};

}  // namespace torvane
