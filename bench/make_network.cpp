// Writes a synthetic network (see synthetic_network.hpp) into a directory:
//   tarnvale_make_network NODES EDGES SEED DIR [both]
// "both" writes every interaction in both directions (2 x EDGES lines).
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "synthetic_network.hpp"

int main(int argc, char** argv) {
    const bool both = argc == 6 && std::string(argv[5]) == "both";
    if (argc != 5 && !both) {
        std::fprintf(stderr, "usage: %s NODES EDGES SEED DIR [both]\n", argv[0]);
        return 2;
    }
    tarnvale::bench::SyntheticParameters parameters;
    parameters.nodes = static_cast<std::int32_t>(std::atol(argv[1]));
    parameters.edges = std::atoll(argv[2]);
    parameters.seed = std::strtoull(argv[3], nullptr, 10);
    try {
        tarnvale::bench::WriteFiles(tarnvale::bench::Generate(parameters), argv[4], both);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
