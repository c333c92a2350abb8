#pragma once

#include <cerrno>

namespace torvane {

// Repeats a system call that a signal interrupted; returns its last result.
template <typename Call>
auto retryOnInterrupt(Call call) {
    auto result = call();
    while (result == -1 && errno == EINTR) result = call();
    return result;
}

}  // namespace torvane
