#pragma once
// A small synthetic network for end-to-end tests: a sparse random connected
// network of noise nodes (about two and a half edges a node) with,
// optionally, one densely connected module of strongly significant nodes
// (p-values from 1e-6 to 1e-4), and the input quirks of real files: a few
// interactions listed twice (the second time reversed), identifiers given
// by the association file, noise nodes with two or three identifiers, two
// noise nodes sharing one identifier (so merged) and two without a p-value.
// Noise p-values are drawn from (0.05, 1).

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <numeric>
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

// A value as the synthetic files write it: six significant digits.
inline std::string Format(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", value);
    return text;
}

// `noise` noise nodes and `planted` module nodes (0: pure noise),
// everything drawn from `seed`.
inline PlantedNetwork MakePlantedNetwork(std::uint32_t seed, int noise, int planted) {
    std::mt19937 mt(seed);
    // Uniform on (0, 1) from one 32-bit word: the same with every library.
    auto open = [&] { return (static_cast<double>(mt()) + 0.5) / 4294967296.0; };
    auto between = [&](double lo, double hi) { return lo + (hi - lo) * open(); };
    auto below = [&](std::size_t n) {
        return std::min(n - 1, static_cast<std::size_t>(open() * static_cast<double>(n)));
    };
    const auto total = static_cast<std::size_t>(noise + planted);
    std::vector<std::string> names;
    for (std::size_t i = 0; i < total; ++i) {
        char name[24];
        std::snprintf(name, sizeof name, "N%03zu", i);
        names.push_back(name);
    }
    // The module is a random choice of nodes, not a block of names.
    std::vector<std::size_t> order(total);
    std::iota(order.begin(), order.end(), std::size_t{0});
    for (std::size_t i = total - 1; i > 0; --i) std::swap(order[i], order[below(i + 1)]);
    const std::vector<std::size_t> module(order.begin(), order.begin() + planted);
    std::vector<bool> inModule(total, false);
    for (std::size_t m : module) inModule[m] = true;

    std::vector<std::string> lines;
    std::set<std::pair<std::size_t, std::size_t>> joined;
    auto edge = [&](std::size_t a, std::size_t b, double value) {
        if (a != b && joined.insert(std::minmax(a, b)).second)
            lines.push_back(names[a] + "\tpp\t" + names[b] + "\t" + Format(value));
    };
    // A random spanning tree keeps the network connected; random edges bring
    // the average degree up. In a network this sparse, scattered significant
    // nodes cannot be gathered into one group without many unremarkable ones,
    // so a planted module stands out from shuffles.
    // Each draw is a statement of its own: the order in which a compiler
    // evaluates function arguments is unspecified, and every compiler must
    // build the same network. (The edge value is drawn before the ends, the
    // second end before the first.)
    for (std::size_t i = 1; i < total; ++i) {
        const double value = between(0.02, 0.98);
        const std::size_t parent = below(i);
        edge(order[i], order[parent], value);
    }
    while (static_cast<double>(joined.size()) < static_cast<double>(total) * 1.25) {
        const double value = between(0.02, 0.98);
        const std::size_t second = below(total);
        const std::size_t first = below(total);
        edge(first, second, value);
    }
    // The module: a path through it and about half of its pairs, reliable edges.
    for (std::size_t i = 1; i < module.size(); ++i)
        edge(module[i - 1], module[i], between(0.6, 0.95));
    for (std::size_t i = 0; i < module.size(); ++i)
        for (std::size_t j = i + 1; j < module.size(); ++j)
            if (open() < 0.5) edge(module[i], module[j], between(0.6, 0.95));
    for (int d = 0; d < 5; ++d) {
        std::string line = lines[below(lines.size())];
        const auto t1 = line.find('\t'), t2 = line.find('\t', t1 + 1), t3 = line.rfind('\t');
        lines.push_back(line.substr(t2 + 1, t3 - t2 - 1) + "\tpd\t" + line.substr(0, t1) +
                        line.substr(t3));
    }
    for (std::size_t i = lines.size() - 1; i > 0; --i) std::swap(lines[i], lines[below(i + 1)]);

    PlantedNetwork net;
    for (const auto& line : lines) net.sif += line + "\n";
    std::vector<std::size_t> noiseNodes;
    for (std::size_t i = 0; i < total; ++i)
        if (!inModule[i]) noiseNodes.push_back(i);
    // Needs 22 noise nodes at least.
    const std::size_t shareA = noiseNodes.at(10), shareB = noiseNodes.at(11),
                      noDataA = noiseNodes.at(20), noDataB = noiseNodes.at(21);
    for (std::size_t i = 0; i < total; ++i) {
        const std::string& name = names[i];
        const double p = inModule[i] ? std::pow(10.0, between(-6.0, -4.0)) : between(0.05, 1.0);
        if (i == shareB) {
            net.association += name + "\tID" + names[shareA] + "\n";
        } else if (i == noDataA || i == noDataB) {
        } else if (!inModule[i] && (i % 7 == 3 || i % 11 == 5)) {
            // Several identifiers: the node score is the median of their scores.
            net.association += name;
            for (int k = 0; k < (i % 7 == 3 ? 2 : 3); ++k) {
                const std::string id = "ID" + name + "_" + std::to_string(k);
                net.association += "\t" + id;
                net.pvalues += id + "\t" + Format(k == 0 ? p : between(0.05, 1.0)) + "\n";
            }
            net.association += "\n";
        } else {
            const std::string id = i % 2 == 0 || i == shareA ? "ID" + name : name;
            if (id != name) net.association += name + "\t" + id + "\n";
            net.pvalues += id + "\t" + Format(p) + "\n";
        }
    }
    for (std::size_t m : module) net.module.push_back(names[m]);
    return net;
}

}  // namespace tarnvale::testing
