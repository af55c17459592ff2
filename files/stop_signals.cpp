#include "files/stop_signals.h"

#include "files/staged_files.h"

#ifndef _WIN32
#include <csignal>
#endif

namespace cmp {

#ifdef _WIN32

StopSignalGuard::StopSignalGuard() = default;
StopSignalGuard::~StopSignalGuard() = default;
StopSignalsHeld::StopSignalsHeld() = default;
StopSignalsHeld::~StopSignalsHeld() = default;

#else

namespace {

constexpr int StopSignals[] = {SIGINT, SIGTERM};
constexpr int StopSignalCount = 2;

// What each signal did before a guard took it; read by the handler, written only while
// it is not installed.
struct sigaction previous[StopSignalCount];
bool installed[StopSignalCount];

int IndexOf(int signal) {
    return signal == SIGINT ? 0 : 1;
}

extern "C" void OnStopSignal(int signal) {
    RemoveStagedFiles();
    // The signal is blocked while its handler runs: raised again, it is delivered once
    // the handler returns, to what was there before.
    sigaction(signal, &previous[IndexOf(signal)], nullptr);
    raise(signal);
}

}  // namespace

StopSignalGuard::StopSignalGuard() {
    for (int i = 0; i < StopSignalCount; ++i) {
        struct sigaction found {};
        if (sigaction(StopSignals[i], nullptr, &found) != 0 ||
            ((found.sa_flags & SA_SIGINFO) == 0 && found.sa_handler == SIG_IGN)) {
            continue;
        }
        previous[i] = found;
        struct sigaction ours {};
        ours.sa_handler = OnStopSignal;
        sigemptyset(&ours.sa_mask);
        ours.sa_flags = SA_RESTART;
        installed[i] = sigaction(StopSignals[i], &ours, nullptr) == 0;
    }
}

StopSignalGuard::~StopSignalGuard() {
    for (int i = 0; i < StopSignalCount; ++i) {
        if (installed[i]) {
            sigaction(StopSignals[i], &previous[i], nullptr);
            installed[i] = false;
        }
    }
}

StopSignalsHeld::StopSignalsHeld() {
    sigset_t stops;
    sigemptyset(&stops);
    sigaddset(&stops, SIGINT);
    sigaddset(&stops, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stops, &previous_);
}

StopSignalsHeld::~StopSignalsHeld() {
    pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
}

#endif

}  // namespace cmp
