#include "command/aspect_sizing.h"

#include "command/command_text.h"
#include "media/source_item.h"

namespace torvane {
namespace {

std::int32_t truncated(double value) {
    return static_cast<std::int32_t>(value);
}

}  // namespace

void replaceSizeFields(std::string& text, const SourceItem& item, const AspectSizes& sizes) {
    text = replaceAll(text, "{video_width}", item.media.videoWidth);
    text = replaceAll(text, "{video_height}", item.media.videoHeight);
    text = replaceAll(text, "{crop_width}", std::to_string(sizes.cropWidth));
    text = replaceAll(text, "{crop_height}", std::to_string(sizes.cropHeight));
    text = replaceAll(text, "{scale_width}", std::to_string(sizes.scaleWidth));
    text = replaceAll(text, "{scale_height}", std::to_string(sizes.scaleHeight));
    text = replaceAll(text, "{expand_width}", std::to_string(sizes.expandWidth));
    text = replaceAll(text, "{expand_height}", std::to_string(sizes.expandHeight));
}

std::optional<AspectSizes> fitKeepingAspect(std::int32_t sourceWidth, std::int32_t sourceHeight,
                                            std::int32_t targetWidth, std::int32_t targetHeight, bool trimEdges) {
    if (sourceWidth <= 0 || sourceHeight <= 0 || targetWidth <= 0 || targetHeight <= 0) return std::nullopt;
    const double sourceAspect = static_cast<double>(sourceWidth) / sourceHeight;
    const double targetAspect = static_cast<double>(targetWidth) / targetHeight;
    AspectSizes sizes;
    sizes.expandWidth = targetWidth;
    sizes.expandHeight = targetHeight;
    sizes.cropHeight = sourceHeight;
    sizes.cropWidth = truncated(sourceHeight * sourceAspect);
    if (sourceAspect >= targetAspect) {
        // As wide or wider: full target width, bars above and below.
        sizes.scaleWidth = targetWidth;
        sizes.scaleHeight = truncated(targetWidth / sourceAspect);
        if (trimEdges && sizes.cropWidth > sizes.scaleWidth && sourceHeight > sizes.scaleHeight) {
            sizes.cropHeight = truncated(sizes.cropHeight - sizes.cropHeight * (sourceAspect - targetAspect) * 0.5);
            sizes.cropWidth = truncated(sizes.cropHeight * sourceAspect);
        }
    } else {
        // Narrower: full target height, bars left and right.
        sizes.scaleHeight = targetHeight;
        sizes.scaleWidth = truncated(targetHeight * sourceAspect);
        if (trimEdges) {
            sizes.cropWidth = truncated(sizes.cropWidth - sizes.cropWidth * (targetAspect - sourceAspect) * 0.5);
            sizes.cropHeight = truncated(sizes.cropWidth / sourceAspect);
        }
    }
    return sizes;
}

}  // namespace torvane
