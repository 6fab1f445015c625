#include "cli/signal_hold.hpp"

#include <initializer_list>

namespace tarnvale {

SignalHold::SignalHold() {
    sigset_t held;
    sigemptyset(&held);
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) sigaddset(&held, signal);
    holding_ = ::sigprocmask(SIG_BLOCK, &held, &before_) == 0;
}

void SignalHold::Release() {
    if (!holding_) return;
    holding_ = false;
    ::sigprocmask(SIG_SETMASK, &before_, nullptr);
}

}  // namespace tarnvale
