#pragma once
// The interaction types of the edges, each distinct text stored once.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "network/graph.hpp"

namespace tarnvale {

// A network has a handful of distinct interaction types ("pp", "pd", ...)
// over millions of edges, so every edge holds only the 4-byte index of its
// type's text.
class EdgeTypes {
public:
    // Gives edge e the type `type`.
    void Set(EdgeId e, std::string_view type) { index_[e] = Intern(type); }
    // The type of edge e; empty for an edge that was never given one.
    const std::string& Of(EdgeId e) const {
        static const std::string none;
        const std::uint32_t i = index_.get(e);
        return i == 0 ? none : *texts_[i - 1];
    }
    // Room for edge ids below size.
    void reserve(std::size_t size) { index_.reserve(size); }
    // How many distinct types there are.
    std::size_t distinct() const { return texts_.size(); }

private:
    struct Hash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const {
            return std::hash<std::string_view>{}(text);
        }
    };

    // 1 + the position of the text in texts_; 0 stands for no type.
    std::uint32_t Intern(std::string_view type) {
        // Lines mostly repeat the type of the line before.
        if (last_ != 0 && *texts_[last_ - 1] == type) return last_;
        auto found = known_.find(type);
        if (found == known_.end()) {
            found = known_.emplace(std::string(type), static_cast<std::uint32_t>(texts_.size() + 1))
                        .first;
            texts_.push_back(&found->first);  // map keys never move
        }
        last_ = found->second;
        return last_;
    }

    EdgeMap<std::uint32_t> index_;
    std::unordered_map<std::string, std::uint32_t, Hash, std::equal_to<>> known_;
    std::vector<const std::string*> texts_;
    std::uint32_t last_ = 0;
};

}  // namespace tarnvale
