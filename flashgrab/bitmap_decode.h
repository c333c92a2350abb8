#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "flashgrab/image.h"

namespace flashgrab {

// Decodes the picture of a bitmap tag. tagCode is the tag's code (6 DefineBits, 21 DefineBitsJPEG2,
// 35 DefineBitsJPEG3, 90 DefineBitsJPEG4, 20 DefineBitsLossless, 36 DefineBitsLossless2), body the
// tag data after the 16-bit character id, jpegTables the data of the movie's JPEGTables tag (used
// by DefineBits only; may be empty). Returns nullopt when the data does not decode or the picture
// is larger than 8192 pixels on a side.
std::optional<Image> decodeBitmapTag(int tagCode, std::span<const std::uint8_t> body,
                                     std::span<const std::uint8_t> jpegTables);

}  // namespace flashgrab
