#pragma once
// A hint to fetch memory ahead of its use, for loops over large networks
// whose next accesses are known but scattered.

namespace tarnvale {

inline void PrefetchAddress(const void* address) {
#if defined(__GNUC__) || defined(__clang__)
    __builtin_prefetch(address);
#else
    (void)address;
#endif
}

// The same for memory that is about to be written.
inline void PrefetchForWrite(const void* address) {
#if defined(__GNUC__) || defined(__clang__)
    __builtin_prefetch(address, 1);
#else
    (void)address;
#endif
}

}  // namespace tarnvale
