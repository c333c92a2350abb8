#include "flashgrab/av_library.h"

#include <dlfcn.h>

#include <cstdio>
#include <optional>
#include <string>

namespace flashgrab::detail {

namespace {

std::string sonameOf(const char* name, int major) {
    return std::string(name) + ".so." + std::to_string(major);
}

class Loader {
public:
    // Opens the library; on failure keeps the reason and leaves every later lookup failing.
    void* open(const std::string& soname) {
        if (!failure_.empty()) return nullptr;
        // Never closed: the functions are used until the program ends.
        void* handle = dlopen(soname.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) failure_ = dlerror();
        return handle;
    }

    template <typename Function>
    void find(void* library, const char* name, Function& function) {
        function = nullptr;
        if (!failure_.empty()) return;
        function = reinterpret_cast<Function>(dlsym(library, name));
        if (function == nullptr) failure_ = std::string(name) + " is missing";
    }

    const std::string& failure() const { return failure_; }

private:
    std::string failure_;
};

std::optional<AvLibrary> load() {
    Loader loader;
    void* util = loader.open(sonameOf("libavutil", LIBAVUTIL_VERSION_MAJOR));
    void* codec = loader.open(sonameOf("libavcodec", LIBAVCODEC_VERSION_MAJOR));
    void* scaler = loader.open(sonameOf("libswscale", LIBSWSCALE_VERSION_MAJOR));
    AvLibrary av{};
    loader.find(codec, "avcodec_find_decoder", av.findDecoder);
    loader.find(codec, "avcodec_alloc_context3", av.allocContext);
    loader.find(codec, "avcodec_free_context", av.freeContext);
    loader.find(codec, "avcodec_open2", av.open);
    loader.find(codec, "avcodec_send_packet", av.sendPacket);
    loader.find(codec, "avcodec_receive_frame", av.receiveFrame);
    loader.find(codec, "av_packet_alloc", av.packetAlloc);
    loader.find(codec, "av_packet_free", av.packetFree);
    loader.find(codec, "av_packet_unref", av.packetUnref);
    loader.find(codec, "av_new_packet", av.newPacket);
    loader.find(util, "av_frame_alloc", av.frameAlloc);
    loader.find(util, "av_frame_free", av.frameFree);
    loader.find(util, "av_frame_unref", av.frameUnref);
    loader.find(util, "av_frame_get_buffer", av.frameGetBuffer);
    loader.find(util, "av_frame_copy", av.frameCopy);
    loader.find(util, "av_frame_copy_props", av.frameCopyProps);
    loader.find(util, "av_pix_fmt_desc_get", av.pixelFormatDescriptor);
    loader.find(scaler, "sws_getCachedContext", av.cachedScaler);
    loader.find(scaler, "sws_scale", av.scale);
    loader.find(scaler, "sws_freeContext", av.freeScaler);
    if (!loader.failure().empty()) {
        std::fprintf(stderr, "flashgrab: %s: video and PNG/GIF pictures are not drawn\n", loader.failure().c_str());
        return std::nullopt;
    }
    return av;
}

}  // namespace

const AvLibrary* avLibrary() {
    // Loaded once, by whichever decoder asks first; read-only afterwards.
    static const std::optional<AvLibrary> library = load();
    return library ? &*library : nullptr;
}

}  // namespace flashgrab::detail
