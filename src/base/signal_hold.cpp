#include "base/signal_hold.hpp"

#include <pthread.h>

#include <cerrno>
#include <ctime>
#include <initializer_list>
#include <utility>

namespace tarnvale {

SignalHold::SignalHold() {
    sigemptyset(&held_);
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGUSR1, SIGUSR2, SIGXCPU,
                       SIGALRM, SIGVTALRM, SIGPROF}) {
        struct sigaction action {};
        if (::sigaction(signal, nullptr, &action) == 0 && action.sa_handler != SIG_IGN)
            sigaddset(&held_, signal);
    }
    // The mask of this thread alone: sigprocmask's effect is unspecified once
    // a process has more than one thread.
    holding_ = ::pthread_sigmask(SIG_BLOCK, &held_, &before_) == 0;
}

void SignalHold::Release() {
    if (!holding_) return;
    holding_ = false;
    ::pthread_sigmask(SIG_SETMASK, &before_, nullptr);
}

int SignalHold::Take(long milliseconds) {
    if (!holding_) return 0;
    const timespec wait{milliseconds / 1000, (milliseconds % 1000) * 1000000L};
    const int signal = ::sigtimedwait(&held_, nullptr, &wait);
    return signal > 0 ? signal : 0;
}

std::thread StartWorkerThread(std::function<void()> body) {
    // A new thread starts with the mask of the thread that creates it, so it
    // blocks the signals from its start; this thread's mask is restored (and
    // a signal that came meanwhile delivered here) when the hold ends.
    const SignalHold hold;
    return std::thread(std::move(body));
}

}  // namespace tarnvale
