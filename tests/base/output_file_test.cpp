// Report files appear complete or not at all, and signals wait while one is
// written, whichever thread they are sent to. Then the progress bar as a
// person at a terminal sees it: percent, rate, time left and best score,
// redrawn in place, one line left per finished phase, and nothing at all
// when standard error is not a terminal.

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
#include <sstream>
#include <string>
#include <thread>

#include "base/progress.hpp"
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
        EXPECT_EQ(testing::Entries(dir.path()), std::set<std::string>{"outA"});  // and not outB
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

TEST(ProgressBar, ShowsRateTimeLeftAndBestScoreInPlaceOnlyOnATerminal) {
    const std::string anneal = "\rannealing, run A         [";
    const std::string edges = "\redge background          [";
    // What each call draws, after a '|': the clock (seconds) is set before it.
    const std::string drawn =
        // No rate before time has passed, no time left before work is done,
        // and -10000, the mark of a state without a group, is no score.
        "|" + anneal + "....................]   0%" +                                 // 0
        "|" + anneal + "....................]   0%  0 steps/s" +                      // 2
        "|" + anneal + "##..................]  10%  25 steps/s  ETA 36s  best 2.5" +  // 4
        // Within a tenth of a second nothing is drawn, but the score counts.
        "||" + anneal + "##########..........]  50%  50 steps/s  ETA 10s  best 7  " +  // 10
        // Beginning a phase ends the open one with a line of its own; a spent
        // phase has no time left, and spaces wipe the longer line.
        "|" + anneal + "####################] 100%  40 steps/s  best 7           \n" + edges +
        "....................]   0%" +
        // Hours and minutes (999,300 draws at 233.3 a second), minutes, and a
        // moment left shown as a second, not 0.
        "|" + edges + "....................]   0%  233 draws/s  ETA 1h11m" + "|" + edges +
        "##..................]  10%  10000 draws/s  ETA 1m30s" + "|" + edges +
        "###################.]  99%  50000 draws/s  ETA 1s   " + "|" + edges +
        "####################] 100%  50000 draws/s           \n" +
        "\rpermutations, run B      [....................]   0%" +
        // A run that stops here must not leave the prompt on the bar's line.
        "|\n";
    for (const bool terminal : {true, false}) {
        std::ostringstream err;
        double now = 0;
        {
            ProgressBar bar(err, terminal, [&now] { return now; });
            auto at = [&](double seconds) {
                now = seconds;
                err << '|';
                return &bar;
            };
            at(0)->Begin("annealing, run A", 1000, "steps");
            at(2)->Update(0, -10000.0f);
            at(4)->Update(100, 2.5f);
            at(4.05)->Update(150, 7.0f);
            at(10)->Update(500, 1.0f);
            at(12.5)->Begin("edge background", 1000000, "draws");
            at(15.5)->Update(700);
            at(22.5)->Update(100000);
            at(32.5)->Update(999999);
            at(32.5)->Begin("permutations, run B", 660, "steps");
            err << '|';
        }
        EXPECT_EQ(err.str(), terminal ? drawn : std::string(11, '|'));
    }
}

}  // namespace
}  // namespace tarnvale
