#pragma once

#include "flashgrab/command_line.h"

namespace flashgrab {

// The whole program once its arguments are read: makes the FIFO, announces "ready" on standard
// output, waits for the reader and streams the frames. Returns the exit code.
int runGrabber(const Options& options);

}  // namespace flashgrab
