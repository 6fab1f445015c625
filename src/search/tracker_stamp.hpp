#pragma once
// Visit stamps of the group tracker's searches.

#include <algorithm>
#include <cstdint>
#include <vector>

namespace tarnvale {

// Increments a stamp; when it wraps, clears the marks it is compared with.
inline void NextStamp(std::uint32_t& stamp, std::vector<std::uint32_t>& a,
                      std::vector<std::uint32_t>& b, std::vector<std::uint32_t>& c) {
    if (++stamp != 0) return;
    for (auto* marks : {&a, &b, &c}) std::fill(marks->begin(), marks->end(), 0u);
    stamp = 1;
}

}  // namespace tarnvale
