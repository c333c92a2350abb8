#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>

#include "flashgrab/command_line.h"
#include "flashgrab/movie.h"

namespace flashgrab {

using FrameSink = std::function<bool(const std::uint8_t* bgr, std::size_t size)>;

// Renders frames 1..frameCount, each width * height * 3 bytes of BGR24, into sink; stops early when the
// sink refuses a frame. Returns the number of frames the sink took. The scripts' trace() goes to trace
// when given.
int playFrames(const Movie& movie, FrameSize size, Quality quality, const FrameSink& sink, std::FILE* trace = nullptr);

}  // namespace flashgrab
