#pragma once

#include <cstdint>
#include <span>

#include "flashgrab/movie.h"

namespace flashgrab {

// tagCode 4, 26, 70 or 94 (PlaceObject 1 to 4), 5 or 28 (RemoveObject 1 and 2).
// swfVersion decides the width of clip event flags.
DisplayCommand readDisplayCommand(int tagCode, std::span<const std::uint8_t> body, int swfVersion = 10);

}  // namespace flashgrab
