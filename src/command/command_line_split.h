#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace torvane {

// Splits a command line into the argument vector a program is started with; no shell is
// ever involved. Blanks and tabs separate arguments. A double quote starts or ends a quoted
// stretch, in which blanks belong to the argument; inside it, \" is a double quote and \\ a
// backslash (the escapes quoted() writes), and any other backslash is itself. Outside quotes
// a backslash is an ordinary character. "" on its own is an empty argument.
std::vector<std::string> splitCommandLine(std::string_view commandLine);

}  // namespace torvane
