// Report files appear complete or not at all, and signals wait while one is
// written; the progress bar on standard error is drawn only for a terminal,
// redrawn in place, throttled, with the best score so far and an honest rate.

#include "base/output_file.hpp"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <climits>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <functional>
#include <sstream>

#include "base/progress.hpp"
#include "support/run_binary.hpp"

namespace tarnvale {
namespace {

namespace fs = std::filesystem;

bool Held(int signal) {
    sigset_t mask;
    sigprocmask(SIG_BLOCK, nullptr, &mask);
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
        AtomicOutputFile abandoned;
        ASSERT_TRUE(abandoned.Open(name));
        abandoned.stream() << "half";
    }
    EXPECT_EQ(dir.Read("outA"), "first\n");
    EXPECT_EQ(dir.Read("victim"), "untouched\n");
    EXPECT_EQ(testing::Entries(dir.path()),
              (std::set<std::string>{"outA", "victim", "outA.tmp." + std::to_string(getpid())}));

    const std::string longName = (dir.path() / std::string(NAME_MAX, 'x')).string();
    EXPECT_LE(fs::path(TemporaryTemplate(longName)).filename().string().size(),
              std::size_t{NAME_MAX});
    AtomicOutputFile file;
    ASSERT_TRUE(file.Open(longName)) << file.openError();
    file.stream() << "long\n";
    ASSERT_TRUE(file.Commit(error)) << error;
    EXPECT_EQ(dir.Read(std::string(NAME_MAX, 'x')), "long\n");
    EXPECT_FALSE(file.Open((dir.path() / "no" / "outA").string()));
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

// A clock the test moves by hand, so that rates are exact.
struct FakeClock {
    double now = 0;
    ProgressBar::Clock Reader() {
        return [this] { return now; };
    }
};

// Each step sets the clock, makes one call, and names what is drawn then.
struct Step {
    double at;
    std::function<void(ProgressBar&)> call;
    std::string drawn;
};

void Play(bool terminal, const std::vector<Step>& steps) {
    std::ostringstream err;
    FakeClock clock;
    {
        ProgressBar bar(err, terminal, clock.Reader());
        EXPECT_EQ(bar.enabled(), terminal);
        for (const Step& step : steps) {
            clock.now = step.at;
            err.str("");
            step.call(bar);
            EXPECT_EQ(err.str(), terminal ? step.drawn : "") << "at " << step.at;
        }
        err.str("");
    }  // a run that stops here must not leave the prompt on the bar's line
    EXPECT_EQ(err.str(), terminal ? "\n" : "");
}

TEST(ProgressBar, RedrawnInPlaceThrottledWithTheBestScoreAndEndedWithItsOwnLine) {
    const std::string anneal = "\rannealing, run A         [";
    const std::vector<Step> steps{
        {0, [](ProgressBar& b) { b.Begin("annealing, run A", 200, "steps"); },
         anneal + "....................]   0%"},
        {0.5, [](ProgressBar& b) { b.Update(50, 2.5f); },
         anneal + "#####...............]  25%  100 steps/s  best 2.5"},
        // Within a tenth of a second nothing is drawn, but the score counts.
        {0.55, [](ProgressBar& b) { b.Update(60, 7.0f); }, ""},
        // A lower score does not replace the best; two spaces wipe the end.
        {1, [](ProgressBar& b) { b.Update(100, 1.0f); },
         anneal + "##########..........]  50%  100 steps/s  best 7  "},
        {4, [](ProgressBar& b) { b.End(); },
         anneal + "####################] 100%  25 steps/s  best 7   \n"},
        // A state without a group has no score, and a step back is no work.
        {4, [](ProgressBar& b) { b.Begin("edge background", 100, "draws"); },
         "\redge background          [....................]   0%"},
        {5, [](ProgressBar& b) { b.Update(90, -10000.0f); },
         "\redge background          [##################..]  90%  90 draws/s"},
        {6, [](ProgressBar& b) { b.Update(60); },
         "\redge background          [############........]  60%  45 draws/s"},
        {7, [](ProgressBar& b) { b.Update(90); },
         "\redge background          [##################..]  90%  40 draws/s"},
        // Beginning a phase ends the open one; an empty phase is complete.
        {8, [](ProgressBar& b) { b.Begin("permutations, run B", 0, "steps"); },
         "\redge background          [####################] 100%  30 draws/s\n"
         "\rpermutations, run B      [....................]   0%"},
        {9, [](ProgressBar& b) { b.Update(0); },
         "\rpermutations, run B      [####################] 100%  0 steps/s"},
    };
    Play(true, steps);
    Play(false, steps);
}

}  // namespace
}  // namespace tarnvale
