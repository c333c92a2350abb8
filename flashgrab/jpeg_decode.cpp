// JPEG pictures of the bitmap tags, through libjpeg.

#include <bit>
#include <csetjmp>
#include <cstdio>  // jpeglib.h needs FILE declared first

#include <jpeglib.h>

#include "flashgrab/decode_support.h"

namespace flashgrab::detail {

namespace {

constexpr std::uint8_t kMarker = 0xFF;
constexpr std::uint8_t kStartOfImage = 0xD8;
constexpr std::uint8_t kEndOfImage = 0xD9;
constexpr std::uint8_t kStartOfScan = 0xDA;

// A progressive stream may hold any number of scans, each one a pass over the whole picture;
// real encoders write about ten, so a stream with far more is an attack on the time, not a picture.
constexpr int kMaxScans = 256;

bool isStandaloneMarker(std::uint8_t code) {
    return code == 0x01 || (code >= 0xD0 && code <= 0xD7);  // TEM and the restart markers
}

class JpegJoiner {
public:
    JpegJoiner() { out_ = {kMarker, kStartOfImage}; }

    void append(std::span<const std::uint8_t> in) {
        std::size_t pos = 0;
        while (pos < in.size() && !finished_) {
            // Bytes between segments are not part of any marker; libjpeg skips them too.
            if (in[pos] != kMarker) {
                ++pos;
                continue;
            }
            std::size_t codeAt = pos + 1;
            while (codeAt < in.size() && in[codeAt] == kMarker) ++codeAt;  // fill bytes
            if (codeAt >= in.size()) return;
            const std::uint8_t code = in[codeAt];
            const std::size_t after = codeAt + 1;
            if (code == 0x00 || code == kStartOfImage) {
                pos = after;
                continue;
            }
            if (code == kEndOfImage) {
                // An end marker before any scan closes a tables part or is the bogus FF D9 FF D8
                // prefix; only the one after the picture's scans ends the picture.
                if (sawScan_) {
                    out_.insert(out_.end(), {kMarker, kEndOfImage});
                    finished_ = true;
                }
                pos = after;
                continue;
            }
            if (isStandaloneMarker(code)) {
                out_.insert(out_.end(), {kMarker, code});
                pos = after;
                continue;
            }
            if (after + 2 > in.size()) {
                copyRest(in, pos);
                return;
            }
            const std::size_t length = (std::size_t{in[after]} << 8) | in[after + 1];
            if (length < 2 || after + length > in.size()) {
                // A cut-off segment: passed on as it is, so that the decoder reports the damage.
                copyRest(in, pos);
                return;
            }
            out_.push_back(kMarker);
            out_.insert(out_.end(), in.begin() + codeAt, in.begin() + after + length);
            pos = after + length;
            if (code == kStartOfScan) {
                sawScan_ = true;
                const std::size_t end = entropyDataEnd(in, pos);
                out_.insert(out_.end(), in.begin() + pos, in.begin() + end);
                pos = end;
            }
        }
    }

    std::vector<std::uint8_t> take() { return std::move(out_); }

private:
    // The entropy-coded data after a scan header runs up to the next marker other than a stuffed
    // zero byte or a restart marker.
    static std::size_t entropyDataEnd(std::span<const std::uint8_t> in, std::size_t pos) {
        while (pos < in.size()) {
            if (in[pos] != kMarker) {
                ++pos;
                continue;
            }
            std::size_t next = pos + 1;
            while (next < in.size() && in[next] == kMarker) ++next;
            if (next >= in.size()) return in.size();
            if (in[next] != 0x00 && !isStandaloneMarker(in[next])) return pos;
            pos = next + 1;
        }
        return pos;
    }

    void copyRest(std::span<const std::uint8_t> in, std::size_t pos) {
        out_.insert(out_.end(), in.begin() + pos, in.end());
        finished_ = true;
    }

    std::vector<std::uint8_t> out_;
    bool sawScan_ = false;
    bool finished_ = false;
};

struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

// libjpeg's errors end in longjmp back to decodeInto; its C frames own nothing that needs unwinding.
[[noreturn]] void onJpegError(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}

// Warnings about corrupt data go to stderr by default; a damaged picture still shows what decoded.
void onJpegMessage(j_common_ptr, int) {}

void onJpegProgress(j_common_ptr cinfo) {
    const auto* dinfo = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (dinfo->input_scan_number > kMaxScans) onJpegError(cinfo);
}

// Everything decodeInto changes lives here, outside its frame, so that nothing is left
// indeterminate by the longjmp.
struct JpegDecode {
    jpeg_decompress_struct cinfo{};
    ErrorManager errors{};
    jpeg_progress_mgr progress{};
    std::vector<JSAMPLE> row;
    Image image;
};

std::uint32_t cmykToArgb(std::uint32_t c, std::uint32_t m, std::uint32_t y, std::uint32_t k, bool inverted) {
    // Adobe writes CMYK inverted (0 = full ink); others write it as is.
    if (!inverted) {
        c = 255 - c;
        m = 255 - m;
        y = 255 - y;
        k = 255 - k;
    }
    return packArgb(255, premultiplyChannel(c, k), premultiplyChannel(m, k), premultiplyChannel(y, k));
}

constexpr bool kArgbIsBgraInMemory = std::endian::native == std::endian::little;

bool decodeInto(JpegDecode& d, const std::vector<std::uint8_t>& stream) {
    if (setjmp(d.errors.jump)) return false;
    jpeg_create_decompress(&d.cinfo);
    d.progress.progress_monitor = onJpegProgress;
    d.cinfo.progress = &d.progress;
    jpeg_mem_src(&d.cinfo, stream.data(), static_cast<unsigned long>(stream.size()));
    if (jpeg_read_header(&d.cinfo, TRUE) != JPEG_HEADER_OK) return false;
    if (!acceptableSize(d.cinfo.image_width, d.cinfo.image_height)) return false;

    const bool cmyk = d.cinfo.jpeg_color_space == JCS_CMYK || d.cinfo.jpeg_color_space == JCS_YCCK;
    // Colour pictures are decoded straight into the opaque ARGB32 words, whose bytes are blue, green,
    // red and alpha in memory on this machine: a pass over each row less (a 2048 x 1536 photo is
    // some 3 million pixels).
    const bool direct = !cmyk && kArgbIsBgraInMemory;
    d.cinfo.out_color_space = cmyk ? JCS_CMYK : direct ? JCS_EXT_BGRA : JCS_RGB;
    jpeg_start_decompress(&d.cinfo);

    const int width = static_cast<int>(d.cinfo.output_width);
    const int height = static_cast<int>(d.cinfo.output_height);
    const int components = d.cinfo.output_components;
    if (!acceptableSize(width, height) || components != (cmyk || direct ? 4 : 3)) return false;
    d.image.width = width;
    d.image.height = height;
    d.image.pixels.resize(static_cast<std::size_t>(width) * height);
    if (direct) {
        while (d.cinfo.output_scanline < d.cinfo.output_height) {
            auto* target = d.image.pixels.data() + std::size_t{d.cinfo.output_scanline} * width;
            JSAMPROW rows[1] = {reinterpret_cast<JSAMPLE*>(target)};
            if (jpeg_read_scanlines(&d.cinfo, rows, 1) != 1) return false;
        }
        return true;
    }
    d.row.resize(static_cast<std::size_t>(width) * components);
    const bool inverted = d.cinfo.saw_Adobe_marker;
    while (d.cinfo.output_scanline < d.cinfo.output_height) {
        std::uint32_t* target = d.image.pixels.data() + std::size_t{d.cinfo.output_scanline} * width;
        JSAMPROW rows[1] = {d.row.data()};
        if (jpeg_read_scanlines(&d.cinfo, rows, 1) != 1) return false;
        const JSAMPLE* s = d.row.data();
        for (int x = 0; x < width; ++x, s += components) {
            target[x] = cmyk ? cmykToArgb(s[0], s[1], s[2], s[3], inverted) : packArgb(255, s[0], s[1], s[2]);
        }
    }
    // jpeg_finish_decompress is left out: it would only read on past the picture, and damage
    // there must not cost the decoded picture.
    return true;
}

}  // namespace

std::vector<std::uint8_t> joinJpegStream(std::span<const std::uint8_t> tables, std::span<const std::uint8_t> data) {
    JpegJoiner joiner;
    joiner.append(tables);
    joiner.append(data);
    return joiner.take();
}

std::optional<Image> decodeJpeg(std::span<const std::uint8_t> tables, std::span<const std::uint8_t> data) {
    const std::vector<std::uint8_t> stream = joinJpegStream(tables, data);
    JpegDecode d;
    d.cinfo.err = jpeg_std_error(&d.errors.pub);
    d.errors.pub.error_exit = onJpegError;
    d.errors.pub.emit_message = onJpegMessage;
    const bool ok = decodeInto(d, stream);
    jpeg_destroy_decompress(&d.cinfo);
    if (!ok) return std::nullopt;
    return std::move(d.image);
}

}  // namespace flashgrab::detail
