#pragma once

#include <cstdint>
#include <string_view>

namespace torvane {

// FNV-1a, 64 bits: the same number for the same bytes on every machine and in every build,
// cheap and good at telling texts apart. No guard against someone who means to forge one.
std::uint64_t fnv1a64(std::string_view bytes);

}  // namespace torvane
