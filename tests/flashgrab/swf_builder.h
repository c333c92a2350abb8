#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace flashgrab::test {

// Writes SWF bit fields (big-endian within bytes) and little-endian integers, to build small movies.
class BitWriter {
public:
    void ub(int bits, std::uint32_t value) {
        for (int i = bits - 1; i >= 0; --i) {
            if (used_ == 0) bytes_.push_back(0);
            if ((value >> i) & 1u) bytes_.back() = static_cast<std::uint8_t>(bytes_.back() | (0x80 >> used_));
            used_ = (used_ + 1) % 8;
        }
    }
    void sb(int bits, std::int32_t value) { ub(bits, static_cast<std::uint32_t>(value) & ((1u << bits) - 1)); }
    void align() { used_ = 0; }
    void u8(int v) {
        align();
        bytes_.push_back(static_cast<std::uint8_t>(v));
    }
    void u16(int v) {
        u8(v & 0xFF);
        u8((v >> 8) & 0xFF);
    }
    void u32(std::uint32_t v) {
        u16(static_cast<int>(v & 0xFFFF));
        u16(static_cast<int>(v >> 16));
    }
    void append(const std::vector<std::uint8_t>& more) {
        align();
        bytes_.insert(bytes_.end(), more.begin(), more.end());
    }
    std::vector<std::uint8_t>& bytes() { return bytes_; }

private:
    std::vector<std::uint8_t> bytes_;
    int used_ = 0;
};

// Signed bits needed for every value.
inline int bitsFor(std::initializer_list<std::int32_t> values) {
    int bits = 1;
    for (std::int32_t v : values) {
        while (!(v >= -(1 << (bits - 1)) && v < (1 << (bits - 1)))) ++bits;
    }
    return bits;
}

inline void rect(BitWriter& w, int xMin, int xMax, int yMin, int yMax) {
    int bits = bitsFor({xMin, xMax, yMin, yMax});
    w.ub(5, static_cast<std::uint32_t>(bits));
    w.sb(bits, xMin);
    w.sb(bits, xMax);
    w.sb(bits, yMin);
    w.sb(bits, yMax);
    w.align();
}

inline std::vector<std::uint8_t> tag(int code, const std::vector<std::uint8_t>& body) {
    BitWriter w;
    w.u16(code << 6 | 0x3F);
    w.u32(static_cast<std::uint32_t>(body.size()));
    w.append(body);
    return w.bytes();
}

inline std::vector<std::uint8_t> backgroundTag(int r, int g, int b) {
    return tag(9, {std::uint8_t(r), std::uint8_t(g), std::uint8_t(b)});
}
inline std::vector<std::uint8_t> showFrame() {
    return tag(1, {});
}

// A DefineShape of one solid rectangle (twips); fill0 = true draws it with the edges' other side.
// A straight edge record of (dx, dy) twips.
inline void straightEdge(BitWriter& w, int dx, int dy) {
    int bits = std::max(bitsFor({dx, dy}), 2);
    w.ub(1, 1);
    w.ub(1, 1);
    w.ub(4, static_cast<std::uint32_t>(bits - 2));
    w.ub(1, 1);  // general line
    w.sb(bits, dx);
    w.sb(bits, dy);
}

// A MATRIX record that scales both axes by scale (16.16 fixed point) and does not move.
inline void scaling(BitWriter& w, std::int32_t scale) {
    const int bits = std::max(bitsFor({scale}), 2);
    w.ub(1, 1);
    w.ub(5, static_cast<std::uint32_t>(bits));
    w.sb(bits, scale);
    w.sb(bits, scale);
    w.ub(1, 0);  // no rotation
    w.ub(5, 0);  // no translation
    w.align();
}

inline std::vector<std::uint8_t> rectangleShape(int id, int x0, int y0, int x1, int y1, int r, int g, int b,
                                                bool useFill0 = false) {
    BitWriter w;
    w.u16(id);
    rect(w, x0, x1, y0, y1);
    w.u8(1);  // one fill style
    w.u8(0);
    w.u8(r);
    w.u8(g);
    w.u8(b);
    w.u8(0);  // no line styles
    w.ub(4, 1);
    w.ub(4, 0);
    w.ub(1, 0);  // style change: move to and one fill side
    w.ub(5, useFill0 ? 0x03 : 0x05);
    int bits = bitsFor({x0, y0});
    w.ub(5, static_cast<std::uint32_t>(bits));
    w.sb(bits, x0);
    w.sb(bits, y0);
    w.ub(1, 1);
    straightEdge(w, x1 - x0, 0);
    straightEdge(w, 0, y1 - y0);
    straightEdge(w, x0 - x1, 0);
    straightEdge(w, 0, y0 - y1);
    w.ub(6, 0);
    w.align();
    return tag(2, w.bytes());
}

// A MATRIX record that only moves, by (tx, ty) twips.
inline void translation(BitWriter& w, int tx, int ty) {
    w.ub(1, 0);  // no scale
    w.ub(1, 0);  // no rotation or skew
    int bits = bitsFor({tx, ty});
    w.ub(5, static_cast<std::uint32_t>(bits));
    w.sb(bits, tx);
    w.sb(bits, ty);
    w.align();
}

// A DefineBitsLossless of 32-bit pixels (0xRRGGBB, opaque), its zlib stream left uncompressed.
inline std::vector<std::uint8_t> losslessBitmap(int id, int width, int height, const std::vector<std::uint32_t>& rgb) {
    std::vector<std::uint8_t> raw;
    for (std::uint32_t c : rgb)
        raw.insert(raw.end(), {0, std::uint8_t(c >> 16), std::uint8_t(c >> 8), std::uint8_t(c)});
    std::uint32_t a = 1, b = 0;
    for (std::uint8_t byte : raw) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    BitWriter w;
    w.u16(id);
    w.u8(5);  // 32-bit pixels
    w.u16(width);
    w.u16(height);
    w.u8(0x78);  // zlib header, then one final stored block (fewer than 65,536 bytes)
    w.u8(0x01);
    w.u8(0x01);
    w.u16(static_cast<int>(raw.size()));
    w.u16(static_cast<int>(~raw.size() & 0xFFFF));
    w.append(raw);
    std::uint32_t adler = b << 16 | a;
    for (int shift : {24, 16, 8, 0}) w.u8(static_cast<int>(adler >> shift & 0xFF));
    return tag(20, w.bytes());
}

// A DefineShape of one rectangle (0, 0)-(size, size) twips filled with the bitmap, each of its pixels
// twipsPerPixel wide, clipped and not smoothed.
inline std::vector<std::uint8_t> bitmapSquareShape(int id, int bitmapId, int size, int twipsPerPixel) {
    BitWriter w;
    w.u16(id);
    rect(w, 0, size, 0, size);
    w.u8(1);  // one fill style
    w.u8(0x43);
    w.u16(bitmapId);
    scaling(w, twipsPerPixel << 16);
    w.u8(0);  // no line styles
    w.ub(4, 1);
    w.ub(4, 0);
    w.ub(1, 0);  // style change: fill side 1 is the first style
    w.ub(5, 0x04);
    w.ub(1, 1);
    for (auto [dx, dy] : {std::pair{size, 0}, {0, size}, {-size, 0}, {0, -size}}) straightEdge(w, dx, dy);
    w.ub(6, 0);
    w.align();
    return tag(2, w.bytes());
}

inline std::vector<std::uint8_t> placeObject(int depth, int id, int tx = 0, int ty = 0) {
    BitWriter w;
    w.u8(0x06);
    w.u16(depth);
    w.u16(id);
    translation(w, tx, ty);
    return tag(26, w.bytes());
}

// Places character id at depth scaled by scale (16.16 fixed point) on both axes, at the origin.
inline std::vector<std::uint8_t> placeScaled(int depth, int id, std::int32_t scale) {
    BitWriter w;
    w.u8(0x06);
    w.u16(depth);
    w.u16(id);
    scaling(w, scale);
    return tag(26, w.bytes());
}

inline std::vector<std::uint8_t> removeObject(int depth) {
    return tag(28, {std::uint8_t(depth & 0xFF), std::uint8_t(depth >> 8)});
}

// An uncompressed movie of widthPx x heightPx pixels (SWF version 10 unless said).
inline std::vector<std::uint8_t> movie(int widthPx, int heightPx, int frameCount,
                                       const std::vector<std::vector<std::uint8_t>>& tags, int version = 10) {
    BitWriter body;
    rect(body, 0, widthPx * 20, 0, heightPx * 20);
    body.u16(24 << 8);
    body.u16(frameCount);
    for (const auto& t : tags) body.append(t);
    body.append(tag(0, {}));
    BitWriter file;
    file.u8('F');
    file.u8('W');
    file.u8('S');
    file.u8(version);
    file.u32(static_cast<std::uint32_t>(body.bytes().size() + 8));
    file.append(body.bytes());
    return file.bytes();
}

// Writes ActionScript action records. Jumps name a label placed anywhere in the same block; their
// offsets are filled in by bytes().
class Actions {
public:
    Actions& op(int code) {
        out_.push_back(static_cast<std::uint8_t>(code));
        return *this;
    }
    Actions& record(int code, const std::vector<std::uint8_t>& data) {
        op(code);
        out_.push_back(static_cast<std::uint8_t>(data.size() & 0xFF));
        out_.push_back(static_cast<std::uint8_t>(data.size() >> 8));
        out_.insert(out_.end(), data.begin(), data.end());
        return *this;
    }
    Actions& push(const std::string& text) {
        std::vector<std::uint8_t> data{0};
        data.insert(data.end(), text.begin(), text.end());
        data.push_back(0);
        return record(0x96, data);
    }
    Actions& push(double number) {
        std::uint64_t bits;
        std::memcpy(&bits, &number, sizeof bits);
        std::vector<std::uint8_t> data{6};
        // The high word first, each word little-endian.
        for (int word : {1, 0})
            for (int i = 0; i < 4; ++i) data.push_back(static_cast<std::uint8_t>(bits >> (word * 32 + i * 8)));
        return record(0x96, data);
    }
    Actions& pushRegister(int index) { return record(0x96, {4, static_cast<std::uint8_t>(index)}); }
    Actions& pushUndefined() { return record(0x96, {3}); }
    Actions& gotoLabel(const std::string& label) { return record(0x8C, cstring(label)); }
    Actions& gotoFrame(int zeroBased) {
        return record(0x81, {static_cast<std::uint8_t>(zeroBased & 0xFF), static_cast<std::uint8_t>(zeroBased >> 8)});
    }
    Actions& setTarget(const std::string& path) { return record(0x8B, cstring(path)); }
    Actions& label(const std::string& name) {
        labels_[name] = out_.size();
        return *this;
    }
    Actions& jump(const std::string& to) { return branch(0x99, to); }
    Actions& ifTrue(const std::string& to) { return branch(0x9D, to); }
    // defineFunction (version 1) or, with registers, defineFunction2 whose parameters go to registers 1...
    Actions& function(const std::string& name, const std::vector<std::string>& parameters, const Actions& body,
                      bool toRegisters = false) {
        std::vector<std::uint8_t> data = cstring(name);
        data.push_back(static_cast<std::uint8_t>(parameters.size()));
        data.push_back(0);
        if (toRegisters) {
            data.push_back(static_cast<std::uint8_t>(parameters.size() + 1));
            data.push_back(0x02);  // suppress this
            data.push_back(0x00);
        }
        int reg = 1;
        for (const std::string& p : parameters) {
            if (toRegisters) data.push_back(static_cast<std::uint8_t>(reg++));
            auto text = cstring(toRegisters ? std::string() : p);
            data.insert(data.end(), text.begin(), text.end());
        }
        std::vector<std::uint8_t> code = body.bytes(false);
        data.push_back(static_cast<std::uint8_t>(code.size() & 0xFF));
        data.push_back(static_cast<std::uint8_t>(code.size() >> 8));
        record(toRegisters ? 0x8E : 0x9B, data);
        out_.insert(out_.end(), code.begin(), code.end());
        return *this;
    }
    // defineFunction2 without parameters, with its preload and suppress flags as written.
    Actions& function2(const std::string& name, int registerCount, int flags, const Actions& body) {
        std::vector<std::uint8_t> data = cstring(name);
        std::vector<std::uint8_t> code = body.bytes(false);
        data.insert(data.end(),
                    {0, 0, static_cast<std::uint8_t>(registerCount), static_cast<std::uint8_t>(flags & 0xFF),
                     static_cast<std::uint8_t>(flags >> 8), static_cast<std::uint8_t>(code.size() & 0xFF),
                     static_cast<std::uint8_t>(code.size() >> 8)});
        record(0x8E, data);
        out_.insert(out_.end(), code.begin(), code.end());
        return *this;
    }
    // A try action: its try block runs from here to the label tryEnd, its catch block (if catchEnd is
    // named) on to catchEnd and its finally block (if finallyEnd is named) on to finallyEnd. What is
    // thrown goes to the variable catchName, or to register catchRegister when that is not -1.
    Actions& tryAction(const std::string& tryEnd, const std::string& catchEnd, const std::string& finallyEnd,
                       const std::string& catchName, int catchRegister = -1) {
        int flags = (catchEnd.empty() ? 0 : 0x01) | (finallyEnd.empty() ? 0 : 0x02) | (catchRegister >= 0 ? 0x04 : 0);
        std::vector<std::uint8_t> data{static_cast<std::uint8_t>(flags), 0, 0, 0, 0, 0, 0};
        auto where = catchRegister >= 0 ? std::vector<std::uint8_t>{static_cast<std::uint8_t>(catchRegister)}
                                        : cstring(catchName);
        data.insert(data.end(), where.begin(), where.end());
        tries_.push_back({out_.size(), {tryEnd, catchEnd, finallyEnd}});
        return record(0x8F, data);
    }
    std::vector<std::uint8_t> bytes(bool withEnd = true) const {
        std::vector<std::uint8_t> out = out_;
        for (const auto& [at, name] : branches_) {
            auto offset = static_cast<std::int16_t>(static_cast<long>(labels_.at(name)) - static_cast<long>(at + 5));
            out[at + 3] = static_cast<std::uint8_t>(offset & 0xFF);
            out[at + 4] = static_cast<std::uint8_t>((offset >> 8) & 0xFF);
        }
        for (const auto& [at, ends] : tries_) {
            // Each block's size runs from the end of the one before; the first from the record's end.
            std::size_t from = at + 3 + (out[at + 1] | (out[at + 2] << 8));
            for (std::size_t k = 0; k < 3; ++k) {
                std::size_t to = ends[k].empty() ? from : labels_.at(ends[k]);
                out[at + 4 + 2 * k] = static_cast<std::uint8_t>((to - from) & 0xFF);
                out[at + 5 + 2 * k] = static_cast<std::uint8_t>((to - from) >> 8);
                from = to;
            }
        }
        if (withEnd) out.push_back(0);
        return out;
    }

private:
    static std::vector<std::uint8_t> cstring(const std::string& text) {
        std::vector<std::uint8_t> data(text.begin(), text.end());
        data.push_back(0);
        return data;
    }
    Actions& branch(int code, const std::string& to) {
        branches_.emplace_back(out_.size(), to);
        return record(code, {0, 0});
    }
    std::vector<std::uint8_t> out_;
    std::map<std::string, std::size_t> labels_;
    std::vector<std::pair<std::size_t, std::string>> branches_;
    std::vector<std::pair<std::size_t, std::array<std::string, 3>>> tries_;
};

inline std::vector<std::uint8_t> doAction(const Actions& actions) {
    return tag(12, actions.bytes());
}

inline std::vector<std::uint8_t> frameLabel(const std::string& label) {
    std::vector<std::uint8_t> body(label.begin(), label.end());
    body.push_back(0);
    return tag(43, body);
}

// A DefineSprite holding tags (ShowFrame included) of frameCount frames.
inline std::vector<std::uint8_t> defineSprite(int id, int frameCount,
                                              const std::vector<std::vector<std::uint8_t>>& tags) {
    BitWriter w;
    w.u16(id);
    w.u16(frameCount);
    for (const auto& t : tags) w.append(t);
    w.append(tag(0, {}));
    return tag(39, w.bytes());
}

// PlaceObject2 of a named instance, optionally with onClipEvent handlers (SWF 6+ event flags).
inline std::vector<std::uint8_t> placeNamed(int depth, int id, const std::string& name, int tx = 0, int ty = 0,
                                            const std::vector<std::pair<std::uint32_t, Actions>>& events = {}) {
    BitWriter w;
    w.u8(0x26 | (events.empty() ? 0 : 0x80));
    w.u16(depth);
    w.u16(id);
    translation(w, tx, ty);
    for (char c : name) w.u8(c);
    w.u8(0);
    if (!events.empty()) {
        std::uint32_t all = 0;
        for (const auto& e : events) all |= e.first;
        w.u16(0);
        w.u32(all);
        for (const auto& [flags, actions] : events) {
            auto code = actions.bytes();
            w.u32(flags);
            w.u32(static_cast<std::uint32_t>(code.size()));
            w.append(code);
        }
        w.u32(0);
    }
    return tag(26, w.bytes());
}

inline std::string asString(const std::vector<std::uint8_t>& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

}  // namespace flashgrab::test
