#pragma once

// libavcodec, libavutil and libswscale, loaded when a movie first needs them: libavcodec brings some
// ninety libraries with it, whose loading and relocation were most of flashgrab's start-up (about
// 25 ms), and most movies hold neither video nor PNG/GIF bitmaps. The headers are the ones built
// against; the libraries are opened by the same major version, whose interface does not change.

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

namespace flashgrab::detail {

struct AvLibrary {
    decltype(&avcodec_find_decoder) findDecoder;
    decltype(&avcodec_alloc_context3) allocContext;
    decltype(&avcodec_free_context) freeContext;
    decltype(&avcodec_open2) open;
    decltype(&avcodec_send_packet) sendPacket;
    decltype(&avcodec_receive_frame) receiveFrame;
    decltype(&av_packet_alloc) packetAlloc;
    decltype(&av_packet_free) packetFree;
    decltype(&av_packet_unref) packetUnref;
    decltype(&av_new_packet) newPacket;
    decltype(&av_frame_alloc) frameAlloc;
    decltype(&av_frame_free) frameFree;
    decltype(&av_frame_unref) frameUnref;
    decltype(&av_frame_get_buffer) frameGetBuffer;
    decltype(&av_frame_copy) frameCopy;
    decltype(&av_frame_copy_props) frameCopyProps;
    decltype(&av_pix_fmt_desc_get) pixelFormatDescriptor;
    decltype(&sws_getCachedContext) cachedScaler;
    decltype(&sws_scale) scale;
    decltype(&sws_freeContext) freeScaler;
};

// The libraries' functions, loaded on the first call; null when a library or one of its functions
// is missing (said once on standard error: pictures that need them are then not drawn).
const AvLibrary* avLibrary();

}  // namespace flashgrab::detail
