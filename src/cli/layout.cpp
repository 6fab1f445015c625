#include "cli/layout.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "stats/random.hpp"

namespace tarnvale {
namespace {

constexpr int kRounds = 300;            // rounds of the spring embedder
constexpr int kSeparatingPasses = 200;  // most passes that push overlapping boxes apart
// Each node gets about this many times its box's area, so that the springs
// settle with room between the labels.
constexpr double kRoom = 1.5;
// How far, in ideal edge lengths, a node pushes the others.
constexpr double kReach = 2;

struct Vector {
    double x = 0, y = 0;
};

// Pushes i and j apart by their overlap along the axis where it is
// smaller, half each; returns whether they overlapped.
bool Separate(LayoutPoint& p, LayoutPoint& q, const LayoutBox& a, const LayoutBox& b,
              double margin) {
    const double dx = q.x - p.x, dy = q.y - p.y;
    const double overlapX = (a.width + b.width) / 2 + margin - std::abs(dx);
    const double overlapY = (a.height + b.height) / 2 + margin - std::abs(dy);
    if (overlapX <= 0 || overlapY <= 0) return false;
    // Equal positions part in a fixed direction, so the result does not
    // depend on anything but the arguments.
    if (overlapX < overlapY) {
        const double shift = (dx < 0 ? -overlapX : overlapX) / 2;
        p.x -= shift;
        q.x += shift;
    } else {
        const double shift = (dy < 0 ? -overlapY : overlapY) / 2;
        p.y -= shift;
        q.y += shift;
    }
    return true;
}

}  // namespace

Layout ForceLayout(const std::vector<LayoutBox>& boxes, const std::vector<LayoutEdge>& edges,
                   std::uint32_t seed, double margin) {
    const std::size_t n = boxes.size();
    Layout layout;
    layout.positions.assign(n, LayoutPoint{});
    std::vector<LayoutPoint>& p = layout.positions;
    double area = 0;
    for (const LayoutBox& box : boxes)
        area += kRoom * (box.width + 2 * margin) * (box.height + 2 * margin);
    const double side = std::sqrt(area);
    // The ideal distance between joined nodes.
    const double k = n > 0 ? side / std::sqrt(static_cast<double>(n)) : 0;

    // A circle, slightly shaken: the same start for the same seed, and no
    // symmetry for the springs to get stuck in.
    Random rng(seed);
    for (std::size_t i = 0; i < n; ++i) {
        const double angle = 2 * std::numbers::pi * static_cast<double>(i) / static_cast<double>(n);
        p[i].x = side / 3 * std::cos(angle) + (rng.Uniform() - 0.5) * k / 4;
        p[i].y = side / 3 * std::sin(angle) + (rng.Uniform() - 0.5) * k / 4;
    }

    std::vector<Vector> move(n);
    const double hottest = side / 10;
    for (int round = 0; round < kRounds && n > 1; ++round) {
        std::fill(move.begin(), move.end(), Vector{});
        for (std::size_t i = 0; i < n; ++i) {
            for (std::size_t j = i + 1; j < n; ++j) {
                const double dx = p[i].x - p[j].x, dy = p[i].y - p[j].y;
                const double d = std::max(std::hypot(dx, dy), 0.01);
                // Only near nodes push (as in the embedder's grid variant):
                // the whole group pushing a pendant node would leave it far
                // out on a long edge.
                if (d >= kReach * k) continue;
                const double push = k * k / d / d;
                move[i].x += dx * push;
                move[i].y += dy * push;
                move[j].x -= dx * push;
                move[j].y -= dy * push;
            }
        }
        for (const LayoutEdge& e : edges) {
            const double dx = p[e.a].x - p[e.b].x, dy = p[e.a].y - p[e.b].y;
            const double d = std::max(std::hypot(dx, dy), 0.01);
            const double pull = d / k;
            move[e.a].x -= dx * pull;
            move[e.a].y -= dy * pull;
            move[e.b].x += dx * pull;
            move[e.b].y += dy * pull;
        }
        // Cooling: each node moves at most this far in the round.
        const double limit = hottest * (1 - static_cast<double>(round) / kRounds);
        for (std::size_t i = 0; i < n; ++i) {
            const double length = std::hypot(move[i].x, move[i].y);
            if (length == 0) continue;
            const double step = std::min(length, limit) / length;
            p[i].x += move[i].x * step;
            p[i].y += move[i].y * step;
        }
    }

    for (int pass = 0; pass < kSeparatingPasses; ++pass) {
        bool moved = false;
        for (std::size_t i = 0; i < n; ++i)
            for (std::size_t j = i + 1; j < n; ++j)
                moved = Separate(p[i], p[j], boxes[i], boxes[j], margin) || moved;
        if (!moved) break;
    }

    double left = 0, top = 0, right = 0, bottom = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double w = boxes[i].width / 2, h = boxes[i].height / 2;
        left = i == 0 ? p[i].x - w : std::min(left, p[i].x - w);
        right = i == 0 ? p[i].x + w : std::max(right, p[i].x + w);
        top = i == 0 ? p[i].y - h : std::min(top, p[i].y - h);
        bottom = i == 0 ? p[i].y + h : std::max(bottom, p[i].y + h);
    }
    for (LayoutPoint& point : p) {
        point.x += margin - left;
        point.y += margin - top;
    }
    layout.width = right - left + 2 * margin;
    layout.height = bottom - top + 2 * margin;
    return layout;
}

}  // namespace tarnvale
