// Report files appear complete or not at all, and signals wait while one is
// written, whichever thread they are sent to.

#include "base/output_file.hpp"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <thread>

#include "base/signal_hold.hpp"
#include "support/run_binary.hpp"

namespace tarnvale {
namespace {

namespace fs = std::filesystem;

bool Held(int signal) {
    sigset_t mask;
    pthread_sigmask(SIG_BLOCK, nullptr, &mask);
    return sigismember(&mask, signal) == 1;
}

// Nothing appears under the name until commit, an abandoned file leaves the
// old report; two writers of one name (even with one pid) never share a
// temporary file, a link planted at a guessable temporary name is never
// followed, and a temporary name stays within NAME_MAX.
TEST(AtomicOutputFile, OnlyACommittedFileTakesItsNameAndNoLinkIsFollowed) {
    testing::ScratchDir dir;
    const std::string name = (dir.path() / "outA").string();
    dir.Write("victim", "untouched\n");
    fs::create_symlink(dir.path() / "victim", name + ".tmp." + std::to_string(getpid()));
    std::string error;
    {
        AtomicOutputFile first, second;
        ASSERT_TRUE(first.Open(name));
        ASSERT_TRUE(second.Open(name));
        first.stream() << "first\n";
        second.stream() << "second\n";
        EXPECT_FALSE(fs::exists(name));
        ASSERT_TRUE(second.Commit(error)) << error;  // in reverse order, as signal holds nest
        EXPECT_EQ(dir.Read("outA"), "second\n");
        ASSERT_TRUE(first.Commit(error)) << error;
        AtomicOutputFile abandoned, longName;
        ASSERT_TRUE(abandoned.Open(name));
        abandoned.stream() << "half";
        // Its temporary name must stay within NAME_MAX to open at all.
        ASSERT_TRUE(longName.Open((dir.path() / std::string(NAME_MAX, 'x')).string()));
        ASSERT_TRUE(longName.Commit(error)) << error;
    }
    EXPECT_EQ(dir.Read("outA"), "first\n");
    EXPECT_EQ(dir.Read("victim"), "untouched\n");
    EXPECT_EQ(testing::Entries(dir.path()),
              (std::set<std::string>{"outA", "victim", "outA.tmp." + std::to_string(getpid()),
                                     std::string(NAME_MAX, 'x')}));
    EXPECT_FALSE(AtomicOutputFile().Open((dir.path() / "no" / "outA").string()));
    EXPECT_FALSE(Held(SIGTERM));  // a failed open holds nothing back
}

// A signal that would end the process (Ctrl-C, a closed pipe, a job
// manager's USR1, a CPU limit, a timer) while a report is being written
// waits until the file is in place (or gone): no temporary file is left.
volatile std::sig_atomic_t caught = 0;

TEST(AtomicOutputFile, SignalsWaitUntilTheFileIsInPlaceOrGone) {
    for (const int signal : {SIGINT, SIGTERM, SIGPIPE, SIGUSR1, SIGXCPU, SIGALRM}) {
        SCOPED_TRACE(strsignal(signal));
        testing::ScratchDir dir;
        const auto previous = std::signal(signal, [](int) { caught = caught + 1; });
        caught = 0;
        {
            AtomicOutputFile file;
            ASSERT_TRUE(file.Open((dir.path() / "outA").string()));
            file.stream() << "Group\n";
            std::raise(signal);
            EXPECT_EQ(caught, 0);
            std::string error;
            ASSERT_TRUE(file.Commit(error)) << error;
            EXPECT_EQ(caught, 1);
            AtomicOutputFile abandoned;
            ASSERT_TRUE(abandoned.Open((dir.path() / "outB").string()));
            std::raise(signal);
            EXPECT_EQ(caught, 1);
        }  // abandoned: removed, then the signal
        EXPECT_EQ(caught, 2);
        std::signal(signal, previous);
        EXPECT_EQ(dir.Read("outA"), "Group\n");
        EXPECT_EQ(testing::Entries(dir.path()), std::set<std::string>{"outA"});
        EXPECT_FALSE(Held(signal));
    }
}

// The hold is the writing thread's: a signal sent to the process while a
// worker thread runs must not reach that thread and end the process there,
// with the file half in place.
TEST(AtomicOutputFile, WorkerThreadsLeaveTheEndingSignalsToTheThreadThatWrites) {
    const auto previous = std::signal(SIGUSR1, [](int) { caught = caught + 1; });
    caught = 0;
    std::atomic<bool> done{false}, workerHeld{false};
    std::thread worker = StartWorkerThread([&] {
        workerHeld = Held(SIGUSR1) && Held(SIGTERM) && Held(SIGINT);
        while (!done) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    });
    EXPECT_FALSE(Held(SIGUSR1));  // the thread that started it is as it was
    testing::ScratchDir dir;
    {
        AtomicOutputFile file;
        EXPECT_TRUE(file.Open((dir.path() / "outA").string()));  // no ASSERT: the worker is joined
        ::kill(::getpid(), SIGUSR1);
        // Time enough for the signal to strike a thread that does not block it.
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        EXPECT_EQ(caught, 0);
        std::string error;
        EXPECT_TRUE(file.Commit(error)) << error;
        EXPECT_EQ(caught, 1);
    }
    done = true;
    worker.join();
    std::signal(SIGUSR1, previous);
    EXPECT_TRUE(workerHeld);
}

}  // namespace
}  // namespace tarnvale
