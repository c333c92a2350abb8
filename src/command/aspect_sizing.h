#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace torvane {

// The crop of the source, the scaled picture and the padded frame when a picture is fitted
// into a target size with its proportions kept.
struct AspectSizes {
    std::int32_t cropWidth = 0;
    std::int32_t cropHeight = 0;
    std::int32_t scaleWidth = 0;
    std::int32_t scaleHeight = 0;
    std::int32_t expandWidth = 0;
    std::int32_t expandHeight = 0;
};

// The picture keeps the source's proportions, is scaled to fit inside the target and padded
// to it. With trimEdges, a centred part of the source of its own proportions is cropped,
// smaller by half the difference of the two aspect ratios, which shrinks the black bars.
// nullopt when any size is 0 or below: the aspect ratios would be undefined.
std::optional<AspectSizes> fitKeepingAspect(std::int32_t sourceWidth, std::int32_t sourceHeight,
                                            std::int32_t targetWidth, std::int32_t targetHeight, bool trimEdges);

// The word a size or rate setting holds to keep the source's own value.
inline constexpr std::string_view kKeepSourceValue = "원본";

struct SourceItem;

// Puts the source's size and the computed sizes into the size fields of a command text:
// {video_width}, {video_height}, {crop_width} ... {expand_height}.
void replaceSizeFields(std::string& text, const SourceItem& item, const AspectSizes& sizes);

}  // namespace torvane
