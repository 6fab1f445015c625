// libFuzzer target: the SIF reader and duplicate edge removal, with the
// invariants of fuzz/checks.hpp checked on every input.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/checks.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string problem =
        tarnvale::fuzz::CheckSif({reinterpret_cast<const char*>(data), size});
    if (!problem.empty()) {
        std::fprintf(stderr, "invariant broken: %s\n", problem.c_str());
        std::abort();
    }
    return 0;
}
