#pragma once

#include <cstdint>
#include <span>

#include "flashgrab/movie.h"

namespace flashgrab {

// tagCode 4, 26, 70 or 94 (PlaceObject 1 to 4), 5 or 28 (RemoveObject 1 and 2).
DisplayCommand readDisplayCommand(int tagCode, std::span<const std::uint8_t> body);

}  // namespace flashgrab
