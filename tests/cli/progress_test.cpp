// The progress bar on standard error: drawn only for a terminal, redrawn in
// place, throttled, with the best score so far and an honest rate.

#include "cli/progress.hpp"

#include <gtest/gtest.h>

#include <sstream>

namespace tarnvale {
namespace {

// A clock the test moves by hand, so that rates are exact.
struct FakeClock {
    double now = 0;
    ProgressBar::Clock Reader() {
        return [this] { return now; };
    }
};

constexpr const char* kPhase = "annealing, run A";  // 16 characters, padded to 24

TEST(ProgressBar, WithoutATerminalNothingIsEverWritten) {
    std::ostringstream err;
    FakeClock clock;
    {
        ProgressBar bar(err, false, clock.Reader());
        EXPECT_FALSE(bar.enabled());
        bar.Begin(kPhase, 100, "steps");
        clock.now = 5;
        bar.Update(50, 3.0f);
        bar.End();
        bar.Begin("edge background", 10, "draws");  // left open: still nothing
    }
    EXPECT_EQ(err.str(), "");
}

TEST(ProgressBar, APhaseIsRedrawnInPlaceAndEndsWithItsOwnLine) {
    std::ostringstream err;
    FakeClock clock;
    ProgressBar bar(err, true, clock.Reader());
    bar.Begin(kPhase, 200, "steps");
    EXPECT_EQ(err.str(), "\rannealing, run A         [....................]   0%");

    err.str("");
    clock.now = 0.5;
    bar.Update(50, 2.5f);
    EXPECT_EQ(err.str(),
              "\rannealing, run A         [#####...............]  25%  100 steps/s  best 2.5");

    // Within a tenth of a second of the last drawing nothing is drawn, but
    // the score still counts: a lower one does not replace the best.
    err.str("");
    clock.now = 0.55;
    bar.Update(60, 7.0f);
    EXPECT_EQ(err.str(), "");
    clock.now = 1.0;
    bar.Update(100, 1.0f);
    // Two spaces wipe the end of the longer line with "best 2.5".
    EXPECT_EQ(err.str(),
              "\rannealing, run A         [##########..........]  50%  100 steps/s  best 7  ");

    err.str("");
    clock.now = 4.0;
    bar.End();
    EXPECT_EQ(err.str(),
              "\rannealing, run A         [####################] 100%  25 steps/s  best 7   \n");
}

TEST(ProgressBar, AShorterLineWipesWhatTheLongerOneLeft) {
    std::ostringstream err;
    FakeClock clock;
    ProgressBar bar(err, true, clock.Reader());
    bar.Begin("edge background", 1000, "draws");
    clock.now = 0.5;
    bar.Update(500);  // 1000 draws/s
    err.str("");
    clock.now = 10;
    bar.Update(600);  // 60 draws/s: two characters shorter
    EXPECT_EQ(err.str(), "\redge background          [############........]  60%  60 draws/s  ");
}

TEST(ProgressBar, NoGroupIsNoScoreAndAStepBackIsNoWork) {
    std::ostringstream err;
    FakeClock clock;
    ProgressBar bar(err, true, clock.Reader());
    bar.Begin(kPhase, 100, "steps");
    clock.now = 1;
    bar.Update(90, -10000.0f);  // the mark of a state without a group
    clock.now = 2;
    bar.Update(60);  // a quench pass made again goes back
    clock.now = 3;
    bar.Update(90);
    err.str("");
    clock.now = 4;
    bar.End();
    // 90 + 30 forward moves in 4 seconds; no best score to show.
    EXPECT_EQ(err.str(), "\rannealing, run A         [####################] 100%  30 steps/s\n");
}

TEST(ProgressBar, EachPhaseStartsAFreshLineAndAnOpenOneIsClosed) {
    std::ostringstream err;
    FakeClock clock;
    {
        ProgressBar bar(err, true, clock.Reader());
        bar.Begin("edge background", 10, "draws");
        bar.Begin("node background, run A", 10, "draws");  // ends the first
        bar.Update(5);  // no time has passed: no redraw
    }  // a run that stops here must not leave the prompt on the bar's line
    EXPECT_EQ(err.str(),
              "\redge background          [....................]   0%"
              "\redge background          [####################] 100%\n"
              "\rnode background, run A   [....................]   0%"
              "\n");
}

TEST(ProgressBar, AnEmptyPhaseIsComplete) {
    std::ostringstream err;
    FakeClock clock;
    ProgressBar bar(err, true, clock.Reader());
    bar.Begin("permutations, run B", 0, "steps");
    err.str("");
    clock.now = 1;
    bar.Update(0);
    EXPECT_EQ(err.str(), "\rpermutations, run B      [####################] 100%  0 steps/s");
}

}  // namespace
}  // namespace tarnvale
