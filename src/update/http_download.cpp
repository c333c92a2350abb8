#include "update/http_download.h"

#include <arpa/inet.h>
#include <curl/curl.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <mutex>

namespace torvane {
namespace {

constexpr char kUserAgent[] = "Torvane";

void initialiseCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct CurlDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
    void operator()(CURLU* url) const { curl_url_cleanup(url); }
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
    void operator()(char* text) const { curl_free(text); }
};
template <typename T>
using CurlPointer = std::unique_ptr<T, CurlDeleter>;

std::string urlPart(CURLU* url, CURLUPart part) {
    char* raw = nullptr;
    if (curl_url_get(url, part, &raw, 0) != CURLUE_OK || raw == nullptr) return {};
    const CurlPointer<char> owned(raw);
    return raw;
}

// Only addresses written as this machine's: a name like "127.0.0.1.example.com" is not one.
bool isLoopbackHost(const std::string& host) {
    in_addr ipv4{};
    if (::inet_pton(AF_INET, host.c_str(), &ipv4) == 1) return (ntohl(ipv4.s_addr) >> 24) == 127;
    return host == "localhost" || host == "[::1]";
}

// Where the received bytes go, and the limits checked as they come.
struct Sink {
    int fd = -1;
    std::string* memory = nullptr;
    long long received = 0;
    long long maxBytes = 0;
    bool tooLarge = false;
    const std::atomic<bool>* cancel = nullptr;
};

std::size_t receive(char* data, std::size_t size, std::size_t count, void* context) {
    auto& sink = *static_cast<Sink*>(context);
    const std::size_t bytes = size * count;
    sink.received += static_cast<long long>(bytes);
    if (sink.maxBytes > 0 && sink.received > sink.maxBytes) {
        sink.tooLarge = true;
        return 0;
    }
    if (sink.memory != nullptr) {
        sink.memory->append(data, bytes);
        return bytes;
    }
    for (std::size_t written = 0; written < bytes;) {
        const ssize_t n = ::write(sink.fd, data + written, bytes - written);
        if (n <= 0) return 0;
        written += static_cast<std::size_t>(n);
    }
    return bytes;
}

int progress(void* context, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    const auto& sink = *static_cast<Sink*>(context);
    return sink.cancel != nullptr && sink.cancel->load() ? 1 : 0;
}

DownloadOutcome transfer(const std::string& url, Sink& sink, const DownloadLimits& limits) {
    if (!isPermittedDownloadAddress(url)) return {false, "not an https address: " + url};
    initialiseCurlOnce();
    const CurlPointer<CURL> curl(curl_easy_init());
    if (!curl) return {false, "libcurl could not be started"};
    CurlPointer<curl_slist> headers(curl_slist_append(nullptr, "Cache-Control: no-cache"));
    headers.reset(curl_slist_append(headers.release(), "Pragma: no-cache"));

    CURL* handle = curl.get();
    char errorText[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
    curl_easy_setopt(handle, CURLOPT_ERRORBUFFER, errorText);
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle, CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(handle, CURLOPT_USERAGENT, kUserAgent);
    curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "https,http");
    // A redirect may not lead from TLS to plain text.
    curl_easy_setopt(handle, CURLOPT_REDIR_PROTOCOLS_STR, "https");
    curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(handle, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(limits.connect.count()));
    curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS, static_cast<long>(limits.total.count()));
    // Fewer than one byte a second for this long ends the transfer, answers that never start included.
    curl_easy_setopt(handle, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(handle, CURLOPT_LOW_SPEED_TIME,
                     static_cast<long>(std::max<long long>(1, limits.stalled.count() / 1000)));
    if (limits.maxBytes > 0) curl_easy_setopt(handle, CURLOPT_MAXFILESIZE_LARGE, curl_off_t{limits.maxBytes});
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, receive);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &sink);
    curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, progress);
    curl_easy_setopt(handle, CURLOPT_XFERINFODATA, &sink);
    curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L);

    const CURLcode result = curl_easy_perform(handle);
    if (result == CURLE_OK) return {true, {}};
    if (sink.tooLarge) return {false, "the answer is larger than " + std::to_string(limits.maxBytes) + " bytes"};
    return {false, errorText[0] != '\0' ? std::string(errorText) : std::string(curl_easy_strerror(result))};
}

}  // namespace

bool isPermittedDownloadAddress(std::string_view address) {
    const CurlPointer<CURLU> url(curl_url());
    if (!url || curl_url_set(url.get(), CURLUPART_URL, std::string(address).c_str(), 0) != CURLUE_OK) return false;
    const std::string scheme = urlPart(url.get(), CURLUPART_SCHEME);
    if (scheme == "https") return true;
    return scheme == "http" && isLoopbackHost(urlPart(url.get(), CURLUPART_HOST));
}

DownloadOutcome downloadToFile(const std::string& url, const std::string& path, bool deleteAfter,
                               const DownloadLimits& limits, const std::atomic<bool>* cancel) {
    Sink sink;
    sink.maxBytes = limits.maxBytes;
    sink.cancel = cancel;
    sink.fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (sink.fd < 0) return {false, "cannot write " + path};
    DownloadOutcome outcome = transfer(url, sink, limits);
    if (::close(sink.fd) != 0 && outcome.ok) outcome = {false, "cannot write " + path};
    if (deleteAfter) std::remove(path.c_str());
    return outcome;
}

std::optional<std::string> downloadText(const std::string& url, const DownloadLimits& limits,
                                        const std::atomic<bool>* cancel) {
    std::string text;
    Sink sink;
    sink.memory = &text;
    sink.maxBytes = limits.maxBytes;
    sink.cancel = cancel;
    if (!transfer(url, sink, limits).ok) return std::nullopt;
    return text;
}

}  // namespace torvane
