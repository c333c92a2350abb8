#include "command/aspect_sizing.h"

namespace torvane {
namespace {

std::int32_t truncated(double value) {
    return static_cast<std::int32_t>(value);
}

}  // namespace

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
