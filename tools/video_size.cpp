#include "tools/video_size.h"

#include <cstdint>
#include <vector>

namespace posttools {

namespace {

// Reads bits most significant first; reading past the end yields zeros and sets exhausted, so a
// damaged header gives no size rather than reading out of bounds.
class Bits {
public:
    explicit Bits(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}
    unsigned bit() {
        if (position_ >= bytes_.size() * 8) {
            exhausted = true;
            return 0;
        }
        const unsigned value = (bytes_[position_ / 8] >> (7 - position_ % 8)) & 1u;
        ++position_;
        return value;
    }
    unsigned bits(int count) {
        unsigned value = 0;
        for (int i = 0; i < count; ++i) value = (value << 1) | bit();
        return value;
    }
    unsigned golomb() {
        int zeros = 0;
        while (bit() == 0 && !exhausted) {
            if (++zeros > 31) {
                exhausted = true;
                return 0;
            }
        }
        return static_cast<unsigned>((uint64_t{1} << zeros) - 1 + bits(zeros));
    }
    int signedGolomb() {
        const unsigned code = golomb();
        return (code & 1u) ? static_cast<int>((code + 1) / 2) : -static_cast<int>(code / 2);
    }
    bool exhausted = false;

private:
    std::vector<uint8_t> bytes_;
    size_t position_ = 0;
};

std::vector<uint8_t> bytesFrom(const std::string& data, size_t start, size_t length) {
    std::vector<uint8_t> bytes;
    for (size_t i = start; i < start + length && i < data.size(); ++i) bytes.push_back(static_cast<uint8_t>(data[i]));
    return bytes;
}

std::optional<PictureSize> sorensonSize(const std::string& data) {
    Bits bits(bytesFrom(data, 1, 16));
    if (bits.bits(17) != 1) return std::nullopt;
    bits.bits(5 + 8);  // version, temporal reference
    PictureSize size;
    switch (bits.bits(3)) {
        case 0:
            size.width = bits.bits(8);
            size.height = bits.bits(8);
            break;
        case 1:
            size.width = bits.bits(16);
            size.height = bits.bits(16);
            break;
        case 2:
            size = {352, 288};
            break;
        case 3:
            size = {176, 144};
            break;
        case 4:
            size = {128, 96};
            break;
        case 5:
            size = {320, 240};
            break;
        case 6:
            size = {160, 120};
            break;
        default:
            return std::nullopt;
    }
    if (bits.exhausted || size.width == 0 || size.height == 0) return std::nullopt;
    return size;
}

void skipScalingList(Bits& bits, int count) {
    int last = 8;
    int next = 8;
    for (int j = 0; j < count; ++j) {
        if (next != 0) next = (last + bits.signedGolomb() + 256) % 256;
        last = next == 0 ? last : next;
    }
}

// The sequence parameter set's coded size less its cropping.
std::optional<PictureSize> spsSize(std::vector<uint8_t> nal) {
    // Drop the emulation prevention bytes (00 00 03) before reading fields.
    std::vector<uint8_t> raw;
    for (size_t i = 0; i < nal.size(); ++i) {
        if (i >= 2 && nal[i] == 3 && nal[i - 1] == 0 && nal[i - 2] == 0) continue;
        raw.push_back(nal[i]);
    }
    Bits bits(std::move(raw));
    bits.bits(8);  // NAL header
    const unsigned profile = bits.bits(8);
    bits.bits(16);  // constraint flags, level
    bits.golomb();  // id
    unsigned chroma = 1;
    if (profile == 100 || profile == 110 || profile == 122 || profile == 244 || profile == 44 || profile == 83 ||
        profile == 86 || profile == 118 || profile == 128 || profile == 138 || profile == 139 || profile == 134) {
        chroma = bits.golomb();
        if (chroma == 3) bits.bit();
        bits.golomb();  // luma bit depth
        bits.golomb();  // chroma bit depth
        bits.bit();
        if (bits.bit()) {
            for (int i = 0; i < (chroma == 3 ? 12 : 8); ++i) {
                if (bits.bit()) skipScalingList(bits, i < 6 ? 16 : 64);
            }
        }
    }
    bits.golomb();  // log2 max frame num
    const unsigned pocType = bits.golomb();
    if (pocType == 0) {
        bits.golomb();
    } else if (pocType == 1) {
        bits.bit();
        bits.signedGolomb();
        bits.signedGolomb();
        const unsigned cycle = bits.golomb();
        for (unsigned i = 0; i < cycle && !bits.exhausted; ++i) bits.signedGolomb();
    }
    bits.golomb();  // reference frames
    bits.bit();
    const unsigned widthMbs = bits.golomb() + 1;
    const unsigned heightUnits = bits.golomb() + 1;
    const unsigned frameMbsOnly = bits.bit();
    if (!frameMbsOnly) bits.bit();
    bits.bit();
    unsigned cropLeft = 0, cropRight = 0, cropTop = 0, cropBottom = 0;
    if (bits.bit()) {
        cropLeft = bits.golomb();
        cropRight = bits.golomb();
        cropTop = bits.golomb();
        cropBottom = bits.golomb();
    }
    if (bits.exhausted) return std::nullopt;
    const unsigned cropX = chroma == 1 || chroma == 2 ? 2 : 1;
    const unsigned cropY = (chroma == 1 ? 2 : 1) * (2 - frameMbsOnly);
    const long width = long{widthMbs} * 16 - long{cropX} * (cropLeft + cropRight);
    const long height = long{heightUnits} * 16 * (2 - frameMbsOnly) - long{cropY} * (cropTop + cropBottom);
    if (width <= 0 || height <= 0 || width > 65535 || height > 65535) return std::nullopt;
    return PictureSize{static_cast<unsigned>(width), static_cast<unsigned>(height)};
}

std::optional<PictureSize> avcSize(const std::string& data) {
    // A sequence header: packet type 0, then the decoder configuration record from byte 5.
    if (data.size() < 5 + 8 || data[1] != 0) return std::nullopt;
    if ((static_cast<uint8_t>(data[10]) & 0x1f) == 0) return std::nullopt;
    const size_t length = (static_cast<uint8_t>(data[11]) << 8) | static_cast<uint8_t>(data[12]);
    if (data.size() < 13 + length) return std::nullopt;
    return spsSize(bytesFrom(data, 13, length));
}

}  // namespace

std::optional<PictureSize> pictureSize(const std::string& data) {
    if (data.size() < 2) return std::nullopt;
    switch (static_cast<uint8_t>(data[0]) & 0x0f) {
        case 2:
            return sorensonSize(data);
        case 7:
            return avcSize(data);
        default:
            return std::nullopt;
    }
}

}  // namespace posttools
