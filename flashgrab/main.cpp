#include <string>
#include <vector>

#include "flashgrab/command_line.h"
#include "flashgrab/grabber.h"

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    return flashgrab::runGrabber(flashgrab::parseArguments(arguments));
}
