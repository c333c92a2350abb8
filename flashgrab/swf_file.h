#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "flashgrab/swf_records.h"

namespace flashgrab {

// One tag: its code and its body, a view into SwfFile::body.
struct Tag {
    int code = 0;
    std::span<const std::uint8_t> data;
};

// A movie's header and its decompressed tag stream.
struct SwfFile {
    SwfFile() = default;
    SwfFile(SwfFile&&) = default;
    SwfFile& operator=(SwfFile&&) = default;
    // The tags view the body, so a copy would point into the original.
    SwfFile(const SwfFile&) = delete;
    SwfFile& operator=(const SwfFile&) = delete;

    int version = 0;
    Rect stage;  // twips
    double frameRate = 0;
    int frameCount = 0;
    std::vector<std::uint8_t> body;  // everything after the header, decompressed
    std::vector<Tag> tags;           // the root's tags up to End or the data's end
};

// Cap on the decompressed size, so a forged length cannot exhaust memory.
inline constexpr std::size_t kMaxMovieBytes = 512u << 20;

std::optional<SwfFile> parseSwf(std::span<const std::uint8_t> file);
std::optional<SwfFile> loadSwf(const std::string& path);

// Splits a tag stream into tags; stops at End, at a truncated tag header, or at the data's end. A tag
// whose length runs past the end is cut to what is there.
std::vector<Tag> splitTags(std::span<const std::uint8_t> data);

}  // namespace flashgrab
