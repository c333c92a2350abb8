#pragma once

#include <string>
#include <string_view>

namespace torvane {

// A file or folder name as text to show. Names on Linux are bytes: a UTF-8 name is shown as it
// is; any other is read as CP949, the code page of names made on Korean Windows systems, with
// U+FFFD for bytes CP949 does not define. Only for showing: files are always opened by their
// own bytes.
std::string nameText(std::string_view bytes);

}  // namespace torvane
