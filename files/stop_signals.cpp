#include "files/stop_signals.h"

#include "files/staged_files.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#include <iterator>
#endif

namespace cmp {

#ifdef _WIN32

namespace {

// Taken by StopSignalsHeld, and by the console handler while it removes the files.
struct StopLock {
    StopLock() { InitializeCriticalSection(&section); }
    CRITICAL_SECTION section;
};

CRITICAL_SECTION& TheStopLock() {
    static StopLock lock;
    return lock.section;
}

BOOL WINAPI OnConsoleEvent(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
            EnterCriticalSection(&TheStopLock());
            RemoveStagedFiles();
            LeaveCriticalSection(&TheStopLock());
            break;
        case CTRL_CLOSE_EVENT:
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            // The system ends the process after these whatever the handlers say: the lock
            // is kept, so that no new file is made in the meantime.
            EnterCriticalSection(&TheStopLock());
            RemoveStagedFiles();
            break;
        default:
            break;
    }
    return FALSE;  // on to the handlers before this one; by default, the end of the process
}

}  // namespace

StopSignalGuard::StopSignalGuard() {
    TheStopLock();  // made before any event can need it
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

StopSignalGuard::~StopSignalGuard() {
    SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
}

StopSignalsHeld::StopSignalsHeld() {
    EnterCriticalSection(&TheStopLock());
}

StopSignalsHeld::~StopSignalsHeld() {
    LeaveCriticalSection(&TheStopLock());
}

#else

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

#endif

}  // namespace cmp
