#pragma once
// Holds back the signals that end a run from the terminal or a job manager
// (SIGINT, i.e. Ctrl-C, SIGTERM, SIGHUP, SIGQUIT) while a file is only half
// in place. One that arrives meanwhile takes effect as soon as the hold ends,
// after the file has been renamed into place or removed.

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

private:
    sigset_t before_{};
    bool holding_ = false;
};

}  // namespace tarnvale
