// While a run has files on disk, SIGINT and SIGTERM (Ctrl+C, a kill) remove them before
// they end the process: an export, or a file cmpinfo writes, stopped in the middle leaves
// nothing behind.
#pragma once

#ifndef _WIN32
#include <signal.h>
#endif

namespace cmp {

// Installs, for its lifetime, handlers of SIGINT and SIGTERM that remove the staged files
// (files/staged_files.h), put back the disposition found and raise the signal again, so
// the process ends by that signal as it would have without the run (a shell sees 130 or
// 143). A signal the process ignores stays ignored. The handlers found are restored when
// the guard goes. Nothing on Windows, which has no such signals for a plug-in to catch.
class StopSignalGuard {
  public:
    StopSignalGuard();
    ~StopSignalGuard();
    StopSignalGuard(const StopSignalGuard&) = delete;
    StopSignalGuard& operator=(const StopSignalGuard&) = delete;
};

// Holds SIGINT and SIGTERM back in this thread while it lives; one that comes meanwhile
// is delivered when it goes. Held from just before a file is created until it is in the
// list of staged files (and around its removal), so that a stop at any instant finds
// the file either listed or not there. Nothing on Windows.
class StopSignalsHeld {
  public:
    StopSignalsHeld();
    ~StopSignalsHeld();
    StopSignalsHeld(const StopSignalsHeld&) = delete;
    StopSignalsHeld& operator=(const StopSignalsHeld&) = delete;

  private:
#ifndef _WIN32
    sigset_t previous_;  // the thread's mask before
#endif
};

}  // namespace cmp
