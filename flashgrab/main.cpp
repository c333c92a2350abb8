#include <string>

#include "flashgrab/grabber.h"

int main(int argc, char** argv) {
    std::string commandLine;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) commandLine += ' ';
        commandLine += argv[i];
    }
    return flashgrab::runGrabber(commandLine);
}
