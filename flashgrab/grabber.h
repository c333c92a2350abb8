#pragma once

#include <string>

namespace flashgrab {

// The whole program: parses the command line (argv joined with blanks), makes the FIFO, announces
// "ready" on standard output, waits for the reader and streams the frames. Returns the exit code.
int runGrabber(const std::string& commandLine);

}  // namespace flashgrab
