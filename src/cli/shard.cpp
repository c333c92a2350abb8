#include "cli/shard.h"

#include <charconv>

namespace torvane::cli {
namespace {

// A decimal number in [1, limit], digits only; nullopt for signs, blanks or anything else.
std::optional<int> positiveNumber(std::string_view text, int limit) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < 1 || value > limit) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

std::optional<Shard> parseShard(std::string_view text) {
    // More parts than any job array asks for is a typing error, not a plan.
    constexpr int kMostParts = 1'000'000;
    const auto slash = text.find('/');
    if (slash == std::string_view::npos) return std::nullopt;
    const auto index = positiveNumber(text.substr(0, slash), kMostParts);
    const auto count = positiveNumber(text.substr(slash + 1), kMostParts);
    if (!index || !count || *index > *count) return std::nullopt;
    return Shard{*index, *count};
}

bool inShard(std::string_view givenPath, const Shard& shard) {
    return fnv1a64(givenPath) % static_cast<std::uint64_t>(shard.count) == static_cast<std::uint64_t>(shard.index - 1);
}

}  // namespace torvane::cli
