#pragma once

#include <string>

namespace torvane {

// The SHA-256 of the file's bytes in lower-case hexadecimal; empty when it cannot be read.
std::string fileSha256(const std::string& path);

}  // namespace torvane
