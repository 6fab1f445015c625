#pragma once
// Holds back every signal that would end the process (Ctrl-C, SIGTERM from
// a job manager, SIGPIPE from a closed pipe, SIGUSR1, SIGXCPU, timers, ...)
// while a file is only half in place. One that arrives meanwhile takes
// effect as soon as the hold ends, after the file has been renamed into
// place or removed. Signals the process ignores are left alone.
//
// A hold blocks the signals on the calling thread only, the thread that
// writes the file. A signal sent to the process goes to any one thread that
// does not block it, so a hold protects the file only while every other
// thread blocks these signals too: threads are started with
// StartWorkerThread, which blocks them for the thread's whole life. A signal
// sent to the process then always reaches the thread that writes files: it
// ends the run at once, or, while a file is half in place, as soon as the
// file is renamed or removed. (A worker that wrote to a closed pipe would
// get the error EPIPE instead of SIGPIPE; workers draw only the progress
// bar, and only on a terminal.)

#include <signal.h>

#include <functional>
#include <thread>

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
    // pending set (the thread's or the process's); returns its number, or 0
    // when none came.
    int Take(long milliseconds);

private:
    sigset_t held_{};
    sigset_t before_{};
    bool holding_ = false;
};

// Starts `body` on a new thread that blocks, from its first instruction to
// its end, every signal a SignalHold would hold, so that such a signal is
// never delivered to it and ends the process behind the back of a thread
// that is writing a file. Throws std::system_error as std::thread does.
std::thread StartWorkerThread(std::function<void()> body);

}  // namespace tarnvale
