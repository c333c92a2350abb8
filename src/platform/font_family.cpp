#include "platform/font_family.h"

#include <cstdint>
#include <fstream>
#include <optional>

namespace torvane {
namespace {

// Reads `size` bytes at `offset`; nullopt when the file is shorter.
std::optional<std::string> readAt(std::ifstream& file, std::uint32_t offset, std::uint32_t size) {
    std::string bytes(size, '\0');
    file.clear();
    file.seekg(offset);
    if (!file.read(bytes.data(), static_cast<std::streamsize>(size))) return std::nullopt;
    return bytes;
}

std::uint32_t bigEndian(std::string_view bytes, std::size_t at, std::size_t width) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < width; ++i) value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

void appendUtf8(std::string& text, std::uint32_t code) {
    if (code < 0x80) {
        text += static_cast<char>(code);
    } else if (code < 0x800) {
        text += static_cast<char>(0xC0 | code >> 6);
        text += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        text += static_cast<char>(0xE0 | code >> 12);
        text += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        text += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        text += static_cast<char>(0xF0 | code >> 18);
        text += static_cast<char>(0x80 | (code >> 12 & 0x3F));
        text += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        text += static_cast<char>(0x80 | (code & 0x3F));
    }
}

std::string utf16BigEndianToUtf8(std::string_view bytes) {
    std::string text;
    for (std::size_t at = 0; at + 1 < bytes.size(); at += 2) {
        std::uint32_t code = bigEndian(bytes, at, 2);
        if (code >= 0xD800 && code < 0xDC00 && at + 3 < bytes.size()) {
            const std::uint32_t low = bigEndian(bytes, at + 2, 2);
            if (low >= 0xDC00 && low < 0xE000) {
                code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                at += 2;
            }
        }
        if (code >= 0xD800 && code < 0xE000) code = 0xFFFD;
        appendUtf8(text, code);
    }
    return text;
}

}  // namespace

std::string fontFamilyName(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return {};
    std::uint32_t fontStart = 0;
    const auto tag = readAt(file, 0, 12);
    if (!tag) return {};
    if (tag->starts_with("ttcf")) {
        // A collection: its first font's offset follows the version.
        const auto first = readAt(file, 12, 4);
        if (!first) return {};
        fontStart = bigEndian(*first, 0, 4);
    }
    const auto header = readAt(file, fontStart, 12);
    if (!header) return {};
    const std::uint32_t tables = bigEndian(*header, 4, 2);
    const auto directory = readAt(file, fontStart + 12, tables * 16);
    if (!directory) return {};
    for (std::uint32_t table = 0; table < tables; ++table) {
        if (directory->compare(table * 16, 4, "name") != 0) continue;
        const std::uint32_t offset = bigEndian(*directory, table * 16 + 8, 4);
        const std::uint32_t length = bigEndian(*directory, table * 16 + 12, 4);
        // A name table is a few kilobytes; a larger claim is a broken file.
        if (length < 6 || length > (1u << 20)) return {};
        const auto names = readAt(file, offset, length);
        if (!names) return {};
        const std::uint32_t count = bigEndian(*names, 2, 2);
        const std::uint32_t strings = bigEndian(*names, 4, 2);
        std::string windowsEnglish, windows, mac;
        for (std::uint32_t record = 0; record < count && 6 + record * 12 + 12 <= length; ++record) {
            const std::size_t at = 6 + record * 12;
            const std::uint32_t platform = bigEndian(*names, at, 2);
            const std::uint32_t encoding = bigEndian(*names, at + 2, 2);
            const std::uint32_t language = bigEndian(*names, at + 4, 2);
            const std::uint32_t nameId = bigEndian(*names, at + 6, 2);
            const std::uint32_t size = bigEndian(*names, at + 8, 2);
            const std::uint32_t start = strings + bigEndian(*names, at + 10, 2);
            if (nameId != 1 || size == 0 || start + size > length) continue;
            const std::string_view text = std::string_view(*names).substr(start, size);
            if (platform == 3 && (encoding == 1 || encoding == 10)) {
                std::string& slot = language == 0x0409 ? windowsEnglish : windows;
                if (slot.empty()) slot = utf16BigEndianToUtf8(text);
            } else if (platform == 1 && encoding == 0 && mac.empty()) {
                for (const char c : text) mac += static_cast<unsigned char>(c) < 0x80 ? c : '?';
            }
        }
        return !windowsEnglish.empty() ? windowsEnglish : !windows.empty() ? windows : mac;
    }
    return {};
}

}  // namespace torvane
