// The progress bar as a person at a terminal sees it: percent, rate, time
// left and best score, redrawn in place, one line left per finished phase,
// and nothing at all when standard error is not a terminal.

#include "base/progress.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace tarnvale {
namespace {

// Each step sets the clock (seconds), makes one call, and names what is
// drawn then.
struct Step {
    double at;
    std::function<void(ProgressBar&)> call;
    std::string drawn;
};

void Play(bool terminal, const std::vector<Step>& steps) {
    std::ostringstream err;
    double now = 0;
    {
        ProgressBar bar(err, terminal, [&now] { return now; });
        for (const Step& step : steps) {
            now = step.at;
            err.str("");
            step.call(bar);
            EXPECT_EQ(err.str(), terminal ? step.drawn : "") << "at " << step.at;
        }
        err.str("");
    }  // a run that stops here must not leave the prompt on the bar's line
    EXPECT_EQ(err.str(), terminal ? "\n" : "");
}

TEST(ProgressBar, ShowsRateTimeLeftAndBestScoreInPlaceOnlyOnATerminal) {
    const std::string anneal = "\rannealing, run A         [";
    const std::string edges = "\redge background          [";
    const std::vector<Step> steps{
        // No rate before time has passed, no time left before work is done,
        // and -10000, the mark of a state without a group, is no score.
        {0, [](ProgressBar& b) { b.Begin("annealing, run A", 1000, "steps"); },
         anneal + "....................]   0%"},
        {2, [](ProgressBar& b) { b.Update(0, -10000.0f); },
         anneal + "....................]   0%  0 steps/s"},
        // 900 steps left at 25 a second.
        {4, [](ProgressBar& b) { b.Update(100, 2.5f); },
         anneal + "##..................]  10%  25 steps/s  ETA 36s  best 2.5"},
        // Within a tenth of a second nothing is drawn, but the score counts.
        {4.05, [](ProgressBar& b) { b.Update(150, 7.0f); }, ""},
        {10, [](ProgressBar& b) { b.Update(500, 1.0f); },
         anneal + "##########..........]  50%  50 steps/s  ETA 10s  best 7  "},
        // Beginning a phase ends the open one with a line of its own; a
        // spent phase has no time left, and spaces wipe the longer line.
        {12.5, [](ProgressBar& b) { b.Begin("edge background", 1000000, "draws"); },
         anneal + "####################] 100%  40 steps/s  best 7           \n" + edges +
             "....................]   0%"},
        // Minutes, then hours and minutes: 999,300 draws at 233.3 a second.
        {15.5, [](ProgressBar& b) { b.Update(700); },
         edges + "....................]   0%  233 draws/s  ETA 1h11m"},
        {22.5, [](ProgressBar& b) { b.Update(100000); },
         edges + "##..................]  10%  10000 draws/s  ETA 1m30s"},
        // The last draw but one: a moment left shows as a second, not 0.
        {32.5, [](ProgressBar& b) { b.Update(999999); },
         edges + "###################.]  99%  50000 draws/s  ETA 1s   "},
        {32.5, [](ProgressBar& b) { b.Begin("permutations, run B", 660, "steps"); },
         edges + "####################] 100%  50000 draws/s           \n" +
             "\rpermutations, run B      [....................]   0%"},
    };
    Play(true, steps);
    Play(false, steps);
}

}  // namespace
}  // namespace tarnvale
