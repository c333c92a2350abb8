#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace flashgrab {

// Reads SWF's little-endian bytes and big-endian bit fields. A read past the end yields zeros and
// clears ok(), so parsers check once after a record instead of after every field.
class BitReader {
public:
    explicit BitReader(std::span<const std::uint8_t> data) : data_(data) {}

    bool ok() const { return ok_; }
    std::size_t position() const { return pos_; }
    std::size_t remaining() const { return pos_ < data_.size() ? data_.size() - pos_ : 0; }
    bool atEnd() const { return pos_ >= data_.size(); }
    std::span<const std::uint8_t> data() const { return data_; }

    void align() { bit_ = 0; }

    std::uint8_t u8() {
        align();
        if (pos_ >= data_.size()) {
            ok_ = false;
            return 0;
        }
        return data_[pos_++];
    }
    std::uint16_t u16() {
        std::uint16_t lo = u8();
        return static_cast<std::uint16_t>(lo | (u8() << 8));
    }
    std::uint32_t u32() {
        std::uint32_t lo = u16();
        return lo | (static_cast<std::uint32_t>(u16()) << 16);
    }
    std::int16_t s16() { return static_cast<std::int16_t>(u16()); }
    // 8.8 fixed point
    double fixed8() { return s16() / 256.0; }
    double fixed16() { return static_cast<std::int32_t>(u32()) / 65536.0; }

    std::uint32_t ub(int bits) {
        std::uint32_t value = 0;
        for (int i = 0; i < bits; ++i) {
            if (bit_ == 0) {
                if (pos_ >= data_.size()) {
                    ok_ = false;
                    return 0;
                }
                current_ = data_[pos_++];
                bit_ = 8;
            }
            --bit_;
            value = (value << 1) | ((current_ >> bit_) & 1u);
        }
        return value;
    }
    std::int32_t sb(int bits) {
        if (bits <= 0) return 0;
        std::uint32_t value = ub(bits);
        if (bits < 32 && (value & (1u << (bits - 1)))) value |= ~0u << bits;
        return static_cast<std::int32_t>(value);
    }
    // 16.16 fixed point bit field
    double fb(int bits) { return sb(bits) / 65536.0; }

    std::span<const std::uint8_t> bytes(std::size_t count) {
        align();
        if (count > remaining()) {
            ok_ = false;
            pos_ = data_.size();
            return {};
        }
        auto out = data_.subspan(pos_, count);
        pos_ += count;
        return out;
    }
    std::span<const std::uint8_t> rest() { return bytes(remaining()); }
    void skip(std::size_t count) { bytes(count); }

    // A NUL-terminated string; a missing terminator ends at the data's end.
    std::string cstring() {
        align();
        std::string out;
        while (pos_ < data_.size() && data_[pos_] != 0) out.push_back(static_cast<char>(data_[pos_++]));
        if (pos_ < data_.size())
            ++pos_;
        else
            ok_ = false;
        return out;
    }

private:
    std::span<const std::uint8_t> data_;
    std::size_t pos_ = 0;
    std::uint8_t current_ = 0;
    int bit_ = 0;
    bool ok_ = true;
};

}  // namespace flashgrab
