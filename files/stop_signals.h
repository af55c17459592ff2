// While a run has files on disk, every signal that would end the process (a closed
// terminal's SIGHUP, Ctrl+C, Ctrl+\, a kill, a broken pipe, a timer) removes them first:
// an export, or a file cmpinfo writes, stopped in the middle leaves nothing behind. On
// Windows the console's events (Ctrl+C, Ctrl+Break, the window closed, logoff, shutdown)
// do the same where a console exists.
#pragma once

#ifndef _WIN32
#include <signal.h>
#endif

namespace cmp {

// Installs, for its lifetime, handlers of the stop signals (HUP, INT, QUIT, TERM, PIPE,
// ALRM, USR1, USR2, VTALRM, PROF, XCPU, XFSZ) that remove the staged files
// (files/staged_files.h), put back the disposition found and raise the signal again, so
// the process ends by that signal as it would have without the run (a shell sees 129,
// 130, 143, ...). A signal the process ignores stays ignored. The handlers found are
// restored when the guard goes. On Windows, a console control handler that removes the
// staged files and leaves the event to the handlers before it (by default, the end of
// the process).
class StopSignalGuard {
  public:
    StopSignalGuard();
    ~StopSignalGuard();
    StopSignalGuard(const StopSignalGuard&) = delete;
    StopSignalGuard& operator=(const StopSignalGuard&) = delete;
};

// Holds the stop signals back in this thread while it lives; one that comes meanwhile
// is delivered when it goes. Held from just before a file is created until it is in the
// list of staged files (and around its removal), so that a stop at any instant finds
// the file either listed or not there. Never held around a wait. On Windows, where the
// console's handler runs in a thread of its own, that handler waits for it to go.
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
