#include "base/progress.hpp"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <sstream>
#include <string>

#include "base/no_score.hpp"

namespace tarnvale {
namespace {

constexpr std::size_t kPhaseWidth = 24;
constexpr int kBarWidth = 20;
constexpr double kRedrawInterval = 0.1;  // seconds

// "ETA 42s", "ETA 1m23s", "ETA 2h05m": the seconds left, rounded up.
std::string TimeLeft(double seconds) {
    // Past a few years the number means only "very long".
    const auto whole = static_cast<std::uint64_t>(std::ceil(std::min(seconds, 1e8)));
    const auto two = [](std::uint64_t value) {
        return (value < 10 ? "0" : "") + std::to_string(value);
    };
    if (whole < 60) return "ETA " + std::to_string(whole) + "s";
    if (whole < 3600) return "ETA " + std::to_string(whole / 60) + "m" + two(whole % 60) + "s";
    return "ETA " + std::to_string(whole / 3600) + "h" + two(whole / 60 % 60) + "m";
}

double SteadySeconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

ProgressBar::ProgressBar(std::ostream& err, bool terminal, Clock clock)
    : err_(err), terminal_(terminal), clock_(std::move(clock)) {}

ProgressBar::~ProgressBar() {
    // A run that stops with an error must not leave the prompt after the bar.
    if (open_) err_ << '\n' << std::flush;
}

double ProgressBar::Now() const { return clock_ ? clock_() : SteadySeconds(); }

void ProgressBar::Begin(const std::string& phase, std::uint64_t total, const std::string& unit) {
    if (!terminal_) return;
    if (open_) End();
    phase_ = phase;
    unit_ = unit;
    total_ = total;
    done_ = 0;
    work_ = 0;
    best_.reset();
    drawnWidth_ = 0;
    open_ = true;
    start_ = Now();
    Draw(0, start_);
}

void ProgressBar::Update(std::uint64_t done, std::optional<float> score) {
    if (!terminal_ || !open_) return;
    if (done > done_) work_ += done - done_;
    done_ = done;
    if (score && *score != kNoScore && !std::isnan(*score) && (!best_ || *score > *best_))
        best_ = *score;
    const double now = Now();
    if (now - lastDraw_ < kRedrawInterval) return;
    const std::uint64_t shown = std::min(done_, total_);
    Draw(total_ == 0 ? 100 : static_cast<int>(shown * 100 / total_), now);
}

void ProgressBar::End() {
    if (!terminal_ || !open_) return;
    Draw(100, Now());
    err_ << '\n' << std::flush;
    open_ = false;
}

std::string ProgressBar::Render(int percent, double elapsed) const {
    std::ostringstream line;
    line << phase_;
    if (phase_.size() < kPhaseWidth) line << std::string(kPhaseWidth - phase_.size(), ' ');
    const int filled = percent * kBarWidth / 100;
    line << " [" << std::string(static_cast<std::size_t>(filled), '#')
         << std::string(static_cast<std::size_t>(kBarWidth - filled), '.') << "] ";
    if (percent < 100) line << ' ';
    if (percent < 10) line << ' ';
    line << percent << '%';
    if (elapsed > 0) {
        const double rate = static_cast<double>(work_) / elapsed;
        line << "  " << std::llround(rate) << ' ' << unit_ << "/s";
        // The work left at the rate so far; a position that went back (a
        // repeated quench pass) has that much more to go.
        if (percent < 100 && work_ > 0)
            line << "  " << TimeLeft(static_cast<double>(total_ - std::min(done_, total_)) / rate);
    }
    if (best_) line << "  best " << *best_;
    return line.str();
}

void ProgressBar::Draw(int percent, double now) {
    lastDraw_ = now;
    const std::string line = Render(percent, now - start_);
    // Spaces wipe what a longer earlier line left behind.
    err_ << '\r' << line;
    if (line.size() < drawnWidth_) err_ << std::string(drawnWidth_ - line.size(), ' ');
    drawnWidth_ = std::max(drawnWidth_, line.size());
    err_ << std::flush;
}

}  // namespace tarnvale
