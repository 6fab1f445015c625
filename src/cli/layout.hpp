#pragma once
// A drawing's node positions: a force-directed layout (Fruchterman and
// Reingold's spring embedder, a fixed number of rounds from a seeded start)
// followed by passes that push overlapping labels apart, so that a group of
// any size is drawn the same way every time and its labels stay readable.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tarnvale {

// An edge between the nodes with these indices.
struct LayoutEdge {
    std::size_t a = 0;
    std::size_t b = 0;
};

// The box a node takes with its label, centred on the node.
struct LayoutBox {
    double width = 0;
    double height = 0;
};

struct LayoutPoint {
    double x = 0;
    double y = 0;
};

// The positions, all inside a canvas of width x height with `margin` free
// on every side of every box.
struct Layout {
    std::vector<LayoutPoint> positions;
    double width = 0;
    double height = 0;
};

// Lays out boxes.size() nodes joined by `edges` (indices below that size).
// The same arguments always give the same layout; `seed` varies the start.
// The canvas grows with the number of nodes and their boxes, and no two
// boxes overlap unless the last of the separating passes still left some
// (only in very dense drawings).
Layout ForceLayout(const std::vector<LayoutBox>& boxes, const std::vector<LayoutEdge>& edges,
                   std::uint32_t seed, double margin = 10);

}  // namespace tarnvale
