#include "synthetic_network.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <random>
#include <stdexcept>
#include <unordered_set>

namespace tarnvale::bench {
namespace {

// A double in [0, 1) from the top 53 bits of a word; the library's
// distributions are not the same on every platform, this is.
double Unit(std::mt19937_64& rng) { return static_cast<double>(rng() >> 11) * 0x1.0p-53; }

// Draws node indices in proportion to their weights.
class WeightedNodes {
public:
    explicit WeightedNodes(std::int32_t count) {
        cumulative_.reserve(static_cast<std::size_t>(count));
        double total = 0;
        for (std::int32_t i = 0; i < count; ++i) {
            total += std::pow(static_cast<double>(i) + 10.0, -2.0 / 3.0);
            cumulative_.push_back(total);
        }
    }
    std::int32_t Draw(std::mt19937_64& rng) const {
        const double x = Unit(rng) * cumulative_.back();
        const auto at = std::upper_bound(cumulative_.begin(), cumulative_.end(), x);
        const auto index = std::min<std::ptrdiff_t>(
            at - cumulative_.begin(), static_cast<std::ptrdiff_t>(cumulative_.size()) - 1);
        return static_cast<std::int32_t>(index);
    }

private:
    std::vector<double> cumulative_;
};

}  // namespace

SyntheticNetwork Generate(const SyntheticParameters& parameters) {
    SyntheticNetwork net;
    std::mt19937_64 rng(parameters.seed);
    const WeightedNodes weighted(parameters.nodes);
    const std::int64_t possible =
        static_cast<std::int64_t>(parameters.nodes) * (parameters.nodes - 1) / 2;
    const std::int64_t wanted = std::min(parameters.edges, possible / 2);

    std::unordered_set<std::uint64_t> seen;
    seen.reserve(static_cast<std::size_t>(wanted) * 2);
    std::vector<std::vector<std::int32_t>> adjacency(static_cast<std::size_t>(parameters.nodes));
    while (static_cast<std::int64_t>(net.edges.size()) < wanted) {
        const std::int32_t a = weighted.Draw(rng);
        const std::int32_t b = weighted.Draw(rng);
        if (a == b) continue;
        const auto low = static_cast<std::uint64_t>(std::min(a, b));
        const auto high = static_cast<std::uint64_t>(std::max(a, b));
        if (!seen.insert(low << 32 | high).second) continue;
        net.edges.push_back({a, b});
        net.edgeValues.push_back(static_cast<float>(std::floor(Unit(rng) * 1001.0) / 1000.0));
        adjacency[static_cast<std::size_t>(a)].push_back(b);
        adjacency[static_cast<std::size_t>(b)].push_back(a);
    }

    net.pvalues.resize(static_cast<std::size_t>(parameters.nodes));
    for (double& p : net.pvalues) p = std::max(Unit(rng), 1e-6);
    // Planted modules: a breadth-first patch of up to 12 nodes around each
    // centre gets small p-values.
    const std::int32_t modules = std::max(1, parameters.nodes / 600);
    for (std::int32_t m = 0; m < modules; ++m) {
        const auto centre = static_cast<std::int32_t>(Unit(rng) * parameters.nodes);
        std::vector<std::int32_t> patch{centre};
        for (std::size_t k = 0; k < patch.size() && patch.size() < 12; ++k) {
            for (std::int32_t next : adjacency[static_cast<std::size_t>(patch[k])]) {
                if (patch.size() >= 12) break;
                if (std::find(patch.begin(), patch.end(), next) == patch.end())
                    patch.push_back(next);
            }
        }
        for (std::int32_t v : patch)
            net.pvalues[static_cast<std::size_t>(v)] = std::max(Unit(rng) * Unit(rng) * 0.01, 1e-9);
    }
    return net;
}

void WriteFiles(const SyntheticNetwork& network, const std::string& dir, bool bothDirections) {
    auto open = [&](const std::string& name) {
        std::ofstream out(dir + "/" + name, std::ios::binary);
        if (!out) throw std::runtime_error("cannot write " + dir + "/" + name);
        return out;
    };
    char line[128];
    {
        std::ofstream sif = open("network.sif");
        for (std::size_t e = 0; e < network.edges.size(); ++e) {
            std::snprintf(line, sizeof line, "N%d\tpp\tN%d\t%.3f\n", network.edges[e].first,
                          network.edges[e].second, static_cast<double>(network.edgeValues[e]));
            sif << line;
            if (!bothDirections) continue;
            std::snprintf(line, sizeof line, "N%d\tpp\tN%d\t%.3f\n", network.edges[e].second,
                          network.edges[e].first, static_cast<double>(network.edgeValues[e]));
            sif << line;
        }
    }
    {
        std::ofstream pvalues = open("pvalues.txt");
        std::ofstream association = open("association.txt");
        for (std::size_t v = 0; v < network.pvalues.size(); ++v) {
            std::snprintf(line, sizeof line, "g%zu\t%.6g\n", v, network.pvalues[v]);
            pvalues << line;
            std::snprintf(line, sizeof line, "N%zu\tg%zu\n", v, v);
            association << line;
        }
    }
}

}  // namespace tarnvale::bench
