#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace flashgrab {

// What a Sorenson H.263 picture header says about smoothing its block edges.
struct SorensonDeblocking {
    bool requested = false;  // the picture's own deblocking flag
    int quantizer = 0;       // 1..31
};

// Reads the start of a Sorenson H.263 picture; nullopt when it is no such picture.
std::optional<SorensonDeblocking> readSorensonDeblocking(std::span<const std::uint8_t> frame);

// The filter strength for a picture quantizer (H.263 Annex J), 0 for none.
int deblockStrength(int quantizer);

// Smooths the edges between the 8x8 blocks of one picture plane, first the horizontal edges, then the
// vertical ones, in the manner of H.263 Annex J but after decoding, on a copy the decoder does not refer to.
void deblockPlane(std::uint8_t* data, int width, int height, std::ptrdiff_t stride, int strength);

}  // namespace flashgrab
