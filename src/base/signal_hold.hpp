#pragma once
// Holds back every signal that would end the process (Ctrl-C, SIGTERM from
// a job manager, SIGPIPE from a closed pipe, SIGUSR1, SIGXCPU, timers, ...)
// while a file is only half in place. One that arrives meanwhile takes
// effect as soon as the hold ends, after the file has been renamed into
// place or removed. Signals the process ignores are left alone.

#include <signal.h>

namespace tarnvale {

class SignalHold {
public:
    SignalHold();
    ~SignalHold() { Release(); }
    SignalHold(const SignalHold&) = delete;
    SignalHold& operator=(const SignalHold&) = delete;

    // Ends the hold early; a held signal strikes here.
    void Release();
    // The signal mask from before the hold, for a child process that must
    // stay interruptible.
    const sigset_t& before() const { return before_; }
    // Waits up to `milliseconds` for a held signal and takes it out of the
    // pending set; returns its number, or 0 when none came.
    int Take(long milliseconds);

private:
    sigset_t held_{};
    sigset_t before_{};
    bool holding_ = false;
};

}  // namespace tarnvale
