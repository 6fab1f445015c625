#pragma once
// A flat hash index from keys to integer ids (nodes, rows) for the readers
// and preparation steps, where std::unordered_map's node per entry costs a
// cache miss per lookup on large networks. Internal to the network module.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "base/prefetch.hpp"

namespace tarnvale {

// A fast hash of short texts (node names, identifiers), eight bytes at a
// time, whose low bits are as well mixed as its high ones.
inline std::size_t HashText(std::string_view text) {
    std::uint64_t hash = 0x9e3779b97f4a7c15ULL ^ text.size();
    const char* p = text.data();
    std::size_t left = text.size();
    for (; left >= 8; p += 8, left -= 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, p, 8);
        hash = (hash ^ word) * 0xbf58476d1ce4e5b9ULL;
        hash ^= hash >> 31;
    }
    std::uint64_t tail = 0;
    if (left > 0) std::memcpy(&tail, p, left);
    hash = (hash ^ tail) * 0x94d049bb133111ebULL;
    hash ^= hash >> 29;
    hash *= 0xbf58476d1ce4e5b9ULL;
    return static_cast<std::size_t>(hash ^ (hash >> 32));
}

// Open addressing over (hash, id) slots; the keys stay wherever the caller
// keeps them, and Find asks the caller whether an id's key is the one
// sought. A lookup touches one slot and, on a hash match, one key. Callers
// that know their next keys early can fetch both ahead (Prefetch, then the
// key of Candidate) and overlap the waits.
class HashIndex {
public:
    HashIndex() : slots_(64) {}

    // The first id added under this hash whose key `same(id)` confirms, or
    // -1 when there is none.
    template <class Same>
    std::int32_t Find(std::size_t hash, Same&& same) const {
        for (std::size_t i = hash & Mask();; i = (i + 1) & Mask()) {
            const Slot& slot = slots_[i];
            if (slot.id < 0) return -1;
            if (slot.hash == Fragment(hash) && same(slot.id)) return slot.id;
        }
    }
    // Adds an id (at least 0) whose key the index does not hold yet.
    void Add(std::int32_t id, std::size_t hash) {
        if (2 * (count_ + 1) > slots_.size()) Grow();
        Place({Fragment(hash), id});
        ++count_;
    }

    // Hints only: they change nothing.
    void Prefetch(std::size_t hash) const { PrefetchAddress(&slots_[hash & Mask()]); }
    // The id that a lookup of this hash will most likely compare first, or
    // -1, so that its key can be fetched ahead.
    std::int32_t Candidate(std::size_t hash) const {
        const Slot& slot = slots_[hash & Mask()];
        return slot.hash == Fragment(hash) ? slot.id : -1;
    }

private:
    // Slots keep the low half of the hash: enough to skip almost every
    // unequal key, and the slot stays eight bytes.
    struct Slot {
        std::uint32_t hash = 0;
        std::int32_t id = -1;
    };
    static std::uint32_t Fragment(std::size_t hash) { return static_cast<std::uint32_t>(hash); }
    std::size_t Mask() const { return slots_.size() - 1; }
    void Place(const Slot& slot) {
        std::size_t i = slot.hash & Mask();
        while (slots_[i].id >= 0) i = (i + 1) & Mask();
        slots_[i] = slot;
    }
    void Grow() {
        std::vector<Slot> old(2 * slots_.size());
        old.swap(slots_);
        for (const Slot& slot : old)
            if (slot.id >= 0) Place(slot);
    }

    std::vector<Slot> slots_;  // size a power of two, at most half full
    std::size_t count_ = 0;
};

}  // namespace tarnvale
