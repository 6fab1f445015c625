#pragma once
// A one-line progress bar for people watching a run: phase, percent, work
// per second, the time left at that rate and the best score so far, redrawn
// in place on standard error.
// It draws only when that stream is a terminal, so logs and pipes never see it.

#include <cstdint>
#include <functional>
#include <optional>
#include <ostream>
#include <string>

namespace tarnvale {

class ProgressBar {
public:
    // Seconds since some fixed start; the default reads the steady clock.
    using Clock = std::function<double()>;

    // Draws on `err` only when `terminal` is true; otherwise every call does
    // nothing at all.
    ProgressBar(std::ostream& err, bool terminal, Clock clock = {});
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;
    // Ends a line that a phase left open.
    ~ProgressBar();

    bool enabled() const { return terminal_; }

    // Starts a phase of `total` work units called `unit` ("steps", "draws")
    // and draws it at 0%. A phase still open is ended first.
    void Begin(const std::string& phase, std::uint64_t total, const std::string& unit);
    // Records the position `done` (of the phase's total) and, when given, a
    // score; the best score so far is shown, and -10000, the mark of no
    // group, is no score. The rate counts forward moves only, so a position
    // that goes back (a repeated quench pass) does not inflate it. Redraws at
    // most ten times a second.
    void Update(std::uint64_t done, std::optional<float> score = std::nullopt);
    // Draws the phase at 100% and ends its line.
    void End();

private:
    // The line for `percent` after `elapsed` seconds (no carriage return, no
    // padding). The rate is left out while no time has passed, the time left
    // while there is no work to take a rate from and once the phase is done.
    std::string Render(int percent, double elapsed) const;
    double Now() const;
    void Draw(int percent, double now);

    std::ostream& err_;
    bool terminal_;
    Clock clock_;
    bool open_ = false;
    std::string phase_;
    std::string unit_;
    std::uint64_t total_ = 0;
    std::uint64_t done_ = 0;
    std::uint64_t work_ = 0;
    std::optional<float> best_;
    double start_ = 0;
    double lastDraw_ = 0;
    std::size_t drawnWidth_ = 0;
};

}  // namespace tarnvale
