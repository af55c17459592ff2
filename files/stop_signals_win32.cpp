#include "files/files.h"

#include <windows.h>

namespace cmp {

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

}  // namespace cmp
