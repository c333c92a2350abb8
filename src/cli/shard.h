#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "platform/fnv_hash.h"

namespace torvane::cli {

// One of `count` disjoint parts of a file list ("--shard 2/8"); index counts from 1.
struct Shard {
    int index = 1;
    int count = 1;
};

// "K/N" with 1 <= K <= N; nullopt for anything else.
std::optional<Shard> parseShard(std::string_view text);

// Whether the file belongs to the shard. Decided by the path text alone, as it was given, so
// machines given the same list split it the same way whatever their current folder, the order
// of the list or the other files in it.
bool inShard(std::string_view givenPath, const Shard& shard);

}  // namespace torvane::cli
