#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>

#include "flashgrab/command_line.h"
#include "flashgrab/movie.h"

namespace flashgrab {

using FrameSink = std::function<bool(const std::uint8_t* bgr, std::size_t size)>;

// The frames sent, counted from 1; last 0 is the movie's last frame.
struct FrameSpan {
    int first = 1;
    int last = 0;
};

// Plays frames 1..frameCount and renders those of span, each width * height * 3 bytes of BGR24, into
// sink; the frames before the span are played without being drawn, so the span starts with the
// timeline and its scripts where they would be. Stops early when the sink refuses a frame. Returns the
// number of frames the sink took. The scripts' trace() goes to trace when given.
int playFrames(const Movie& movie, FrameSize size, Quality quality, FrameSpan span, const FrameSink& sink,
               std::FILE* trace = nullptr);

}  // namespace flashgrab
