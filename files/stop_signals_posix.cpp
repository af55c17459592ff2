#include "files/files.h"

#include <csignal>
#include <iterator>

namespace cmp {

namespace {

// Every signal whose default action ends the process and that a handler can catch, but
// those that report the process's own fault (SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT,
// SIGTRAP, SIGSYS), after which nothing more should run.
constexpr int StopSignals[] = {SIGHUP,  SIGINT,  SIGQUIT,   SIGTERM, SIGPIPE, SIGALRM,
                               SIGUSR1, SIGUSR2, SIGVTALRM, SIGPROF, SIGXCPU, SIGXFSZ};
constexpr std::size_t StopSignalCount = std::size(StopSignals);

// What each signal did before a guard took it; read by the handler, written only while
// it is not installed.
struct sigaction previous[StopSignalCount];
bool installed[StopSignalCount];

std::size_t IndexOf(int signal) {
    std::size_t i = 0;
    while (i + 1 < StopSignalCount && StopSignals[i] != signal) {
        ++i;
    }
    return i;
}

sigset_t StopSignalSet() {
    sigset_t set;
    sigemptyset(&set);
    for (const int signal : StopSignals) {
        sigaddset(&set, signal);
    }
    return set;
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
    for (std::size_t i = 0; i < StopSignalCount; ++i) {
        struct sigaction found {};
        if (sigaction(StopSignals[i], nullptr, &found) != 0 ||
            ((found.sa_flags & SA_SIGINFO) == 0 && found.sa_handler == SIG_IGN)) {
            continue;
        }
        previous[i] = found;
        struct sigaction ours {};
        ours.sa_handler = OnStopSignal;
        // One stop at a time: a second one waits until the first has removed the files.
        ours.sa_mask = StopSignalSet();
        ours.sa_flags = SA_RESTART;
        installed[i] = sigaction(StopSignals[i], &ours, nullptr) == 0;
    }
}

StopSignalGuard::~StopSignalGuard() {
    for (std::size_t i = 0; i < StopSignalCount; ++i) {
        if (installed[i]) {
            sigaction(StopSignals[i], &previous[i], nullptr);
            installed[i] = false;
        }
    }
}

StopSignalsHeld::StopSignalsHeld() {
    const sigset_t stops = StopSignalSet();
    pthread_sigmask(SIG_BLOCK, &stops, &previous_);
}

StopSignalsHeld::~StopSignalsHeld() {
    pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
}

}  // namespace cmp
