#include "base/signal_hold.hpp"

#include <cerrno>
#include <ctime>
#include <initializer_list>

namespace tarnvale {

SignalHold::SignalHold() {
    sigemptyset(&held_);
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGUSR1, SIGUSR2, SIGXCPU,
                       SIGALRM, SIGVTALRM, SIGPROF}) {
        struct sigaction action {};
        if (::sigaction(signal, nullptr, &action) == 0 && action.sa_handler != SIG_IGN)
            sigaddset(&held_, signal);
    }
    holding_ = ::sigprocmask(SIG_BLOCK, &held_, &before_) == 0;
}

void SignalHold::Release() {
    if (!holding_) return;
    holding_ = false;
    ::sigprocmask(SIG_SETMASK, &before_, nullptr);
}

int SignalHold::Take(long milliseconds) {
    if (!holding_) return 0;
    const timespec wait{milliseconds / 1000, (milliseconds % 1000) * 1000000L};
    const int signal = ::sigtimedwait(&held_, nullptr, &wait);
    return signal > 0 ? signal : 0;
}

}  // namespace tarnvale
