#pragma once
// Independent repetitions of a run's search (permutations, ensemble members)
// spread over threads. Every repetition builds its own generators from its
// own seed and keeps its own search state over the shared, read-only graph,
// and the results come back in repetition order, so the outcome is the same
// for any number of threads.

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <exception>
#include <mutex>
#include <new>
#include <ostream>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "base/progress.hpp"
#include "base/signal_hold.hpp"

namespace tarnvale {

// The progress of repetitions running side by side, drawn as one phase of
// `total` steps. Each repetition reports its own position; the bar shows
// their sum, drawn by whichever thread finds it free.
class SharedProgress {
public:
    SharedProgress(ProgressBar& bar, const std::string& phase, std::uint64_t total) : bar_(bar) {
        bar_.Begin(phase, total, "steps");
    }
    ~SharedProgress() { bar_.End(); }
    SharedProgress(const SharedProgress&) = delete;
    SharedProgress& operator=(const SharedProgress&) = delete;

    bool enabled() const { return bar_.enabled(); }
    // Counts the forward part of a move from `last` to `position`.
    void Advance(std::uint64_t& last, std::uint64_t position) {
        if (position <= last) return;
        const std::uint64_t done = done_ += position - last;
        last = position;
        std::unique_lock lock(mutex_, std::try_to_lock);
        if (lock.owns_lock()) bar_.Update(done);
    }

private:
    ProgressBar& bar_;
    std::atomic<std::uint64_t> done_{0};
    std::mutex mutex_;
};

// Calls work(k) for k from 0 to count - 1 on up to `threads` threads.
// Returns the results in the order of k. An exception thrown by a repetition
// is thrown again here, that of the lowest k first. Threads that the system
// cannot start (too many processes, too little memory) are done without,
// with a warning on `out`: the results do not depend on the number.
template <class Result, class Work>
std::vector<Result> RunRepetitions(std::uint64_t count, int threads, const Work& work,
                                   std::ostream& out) {
    std::vector<Result> results(count);
    std::vector<std::exception_ptr> failures(count);
    std::atomic<std::uint64_t> next{0};
    auto worker = [&] {
        for (std::uint64_t k; (k = next++) < count;) {
            try {
                results[k] = work(k);
            } catch (...) {
                failures[k] = std::current_exception();
            }
        }
    };
    const auto used = static_cast<std::uint64_t>(std::max(threads, 1));
    std::vector<std::thread> pool;
    const std::uint64_t wanted = std::min(used, count);
    pool.reserve(wanted);
    for (std::uint64_t t = 1; t < wanted; ++t) {
        try {
            // The other threads never take a signal that ends the process: it
            // reaches this one, which writes the files (base/signal_hold.hpp).
            pool.push_back(StartWorkerThread(worker));
        } catch (const std::system_error&) {
            break;
        } catch (const std::bad_alloc&) {
            break;
        }
    }
    if (pool.size() + 1 < wanted)
        out << "\nWarning: only " << pool.size() + 1 << " of the " << wanted
            << " threads asked for (--threads) could be started; the searches run on those\n";
    worker();
    for (std::thread& thread : pool) thread.join();
    for (const std::exception_ptr& failure : failures)
        if (failure) std::rethrow_exception(failure);
    return results;
}

}  // namespace tarnvale
