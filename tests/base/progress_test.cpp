// The progress bar as a person at a terminal sees it: percent, rate, time
// left and best score, redrawn in place, one line left per finished phase,
// and nothing at all when standard error is not a terminal.

#include "base/progress.hpp"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace tarnvale {
namespace {

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
