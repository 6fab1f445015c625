#pragma once
// A small synthetic network for end-to-end tests of the user features: a
// sparse random connected network of noise nodes (p-values uniform on
// (0, 1)) with, optionally, one densely connected module of strongly
// significant nodes (p-values from 1e-6 to 1e-4).
// Every node is listed under its own name; no two lines join the same pair.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace tarnvale::testing {

struct PlantedNetwork {
    std::string sif, pvalues, association;
    std::vector<std::string> module;  // names of the planted nodes
};

// The random choices of the synthetic networks, from one seed.
class Draw {
public:
    explicit Draw(std::uint32_t seed) : mt_(seed) {}
    // Uniform on (0, 1) from one 32-bit word: the same with every library.
    double Open() { return (static_cast<double>(mt_()) + 0.5) / 4294967296.0; }
    double Between(double lo, double hi) { return lo + (hi - lo) * Open(); }
    std::size_t Below(std::size_t n) {
        return std::min(n - 1, static_cast<std::size_t>(Open() * static_cast<double>(n)));
    }

private:
    std::mt19937 mt_;
};

// A value as the synthetic files write it: six significant digits.
inline std::string Format(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", value);
    return text;
}

// `noise` noise nodes and `planted` module nodes (0: pure noise),
// everything drawn from `seed`.
inline PlantedNetwork MakePlantedNetwork(std::uint32_t seed, int noise, int planted) {
    Draw draw(seed);
    const auto total = static_cast<std::size_t>(noise + planted);
    std::vector<std::string> names;
    for (std::size_t i = 0; i < total; ++i) {
        std::string name = std::to_string(i);
        names.push_back("N" + std::string(name.size() < 3 ? 3 - name.size() : 0, '0') + name);
    }
    // The module is a random choice of nodes, not a block of names.
    std::vector<std::size_t> order(total);
    for (std::size_t i = 0; i < total; ++i) order[i] = i;
    for (std::size_t i = total - 1; i > 0; --i) std::swap(order[i], order[draw.Below(i + 1)]);
    const std::vector<std::size_t> module(order.begin(),
                                          order.begin() + static_cast<std::ptrdiff_t>(planted));
    std::vector<bool> inModule(total, false);
    for (std::size_t m : module) inModule[m] = true;

    PlantedNetwork net;
    std::set<std::pair<std::size_t, std::size_t>> joined;
    auto edge = [&](std::size_t a, std::size_t b, double value) {
        if (a == b || !joined.insert(std::minmax(a, b)).second) return;
        net.sif += names[a] + "\tpp\t" + names[b] + "\t" + Format(value) + "\n";
    };
    // A random spanning tree keeps the network connected; random edges bring
    // the average degree to about two and a half. In a network this sparse,
    // scattered significant nodes cannot be gathered into one group without
    // many unremarkable ones, so a planted module stands out from shuffles.
    for (std::size_t i = 1; i < total; ++i)
        edge(order[i], order[draw.Below(i)], draw.Between(0.02, 0.98));
    while (joined.size() < total * 5 / 4)
        edge(draw.Below(total), draw.Below(total), draw.Between(0.02, 0.98));
    // The module: a path through it and about half of its pairs, reliable edges.
    for (std::size_t i = 1; i < module.size(); ++i)
        edge(module[i - 1], module[i], draw.Between(0.6, 0.95));
    for (std::size_t i = 0; i < module.size(); ++i)
        for (std::size_t j = i + 1; j < module.size(); ++j)
            if (draw.Open() < 0.5) edge(module[i], module[j], draw.Between(0.6, 0.95));

    for (std::size_t i = 0; i < total; ++i) {
        const double p = inModule[i] ? std::pow(10.0, draw.Between(-6.0, -4.0)) : draw.Open();
        net.pvalues += names[i] + "\t" + Format(p) + "\n";
        net.association += names[i] + "\t" + names[i] + "\n";
    }
    for (std::size_t m : module) net.module.push_back(names[m]);
    return net;
}

}  // namespace tarnvale::testing
