#pragma once

// The picture size read from the video bitstream itself, for the codecs the converter writes to FLV.

#include <optional>
#include <string>

namespace posttools {

struct PictureSize {
    unsigned width = 0;
    unsigned height = 0;
};

// data is a whole FLV video tag body; nullopt when this tag does not tell the size.
std::optional<PictureSize> pictureSize(const std::string& data);

}  // namespace posttools
