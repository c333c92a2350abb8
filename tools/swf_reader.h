#pragma once

// The small SWF reader shared by swfdump, swfextract and swfcombine: the header, the
// decompressed body and the tags of the main timeline, checked against the file's real size.

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace swf {

// A failure whose message is shown to the user as it is.
class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class Compression { None, Zlib, Lzma };

// Tag codes the tools look at.
enum TagCode : uint16_t {
    kEnd = 0,
    kShowFrame = 1,
    kDefineSound = 14,
    kSoundStreamHead = 18,
    kSoundStreamBlock = 19,
    kDefineSprite = 39,
    kSoundStreamHead2 = 45,
};

// A tag as a place in the movie body, so a Movie can be moved without dangling views.
struct Tag {
    uint16_t code = 0;
    size_t offset = 0;  // of the tag's data in Movie::body
    size_t length = 0;
};

struct Movie {
    Compression compression = Compression::None;
    uint8_t version = 0;
    uint32_t declaredLength = 0;  // the header's file length, which may be wrong
    // Everything after the 8-byte file header, uncompressed, ending with the main timeline's End tag.
    std::string body;
    int32_t xMinTwips = 0, xMaxTwips = 0, yMinTwips = 0, yMaxTwips = 0;
    uint16_t frameRate8_8 = 0;  // fixed point: high byte whole frames, low byte 1/256ths
    uint16_t frameCount = 0;
    std::vector<Tag> tags;  // the main timeline, End excluded

    std::string_view data(const Tag& tag) const { return std::string_view(body).substr(tag.offset, tag.length); }
};

// The uncompressed size the tools accept; a header asking for more is treated as corrupt.
inline constexpr size_t kMaxBodyBytes = size_t{1} << 30;

std::string readWholeFile(const std::string& path);

// Decodes a whole SWF file; throws Error naming what is wrong with it.
Movie parseMovie(std::string_view file);

// Splits a tag list (the main timeline, or a sprite's) at its End tag; base is where list starts
// within whole; shownShift is added to the byte offsets in messages. Throws Error when a tag reaches
// beyond the data.
std::vector<Tag> parseTags(std::string_view whole, size_t base, size_t* endOfList = nullptr, size_t shownShift = 0);

// The same movie as an uncompressed "FWS" file with the correct length in its header.
std::string uncompressedFile(const Movie& movie);

// Little-endian readers over a view; throw Error when the view is too short.
uint16_t readU16(std::string_view data, size_t at);
uint32_t readU32(std::string_view data, size_t at);

}  // namespace swf
