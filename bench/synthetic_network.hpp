#pragma once
// Seeded synthetic input for benchmarks: a power-law interaction network with
// p-values that hold a few planted active modules, written as the three files
// the program reads.
//
// Degrees follow a Chung-Lu model: node i (from 0) has weight (i + 10)^-2/3,
// which gives a degree exponent of 2.5, and each edge joins two nodes drawn
// in proportion to their weights; loops and repeated pairs are drawn again.
// About one node in fifty is an active module member (a small connected patch
// around a random centre) with a p-value below 0.01; every other p-value is
// uniform. Edge values are uniform in [0, 1] with three decimals. Everything
// comes from one 64-bit Mersenne twister, so a seed fixes the files.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace tarnvale::bench {

struct SyntheticParameters {
    std::int32_t nodes = 25000;
    std::int64_t edges = 500000;
    std::uint64_t seed = 1;
};

struct SyntheticNetwork {
    std::vector<std::pair<std::int32_t, std::int32_t>> edges;  // node indices
    std::vector<float> edgeValues;                             // one per edge
    std::vector<double> pvalues;                               // one per node
};

SyntheticNetwork Generate(const SyntheticParameters& parameters);

// Node i is named "N<i>" in the SIF and associated with identifier "g<i>",
// under which its p-value is listed. With bothDirections every interaction
// is written twice, A to B and B to A, as whole-interactome downloads are.
// Writes DIR/network.sif,
// DIR/pvalues.txt and DIR/association.txt; throws std::runtime_error when a
// file cannot be written.
void WriteFiles(const SyntheticNetwork& network, const std::string& dir,
                bool bothDirections = false);

}  // namespace tarnvale::bench
