// Runs in a child process: what may hang or end the process, and permission rules tested
// from the side of a user they hold against. The suite usually runs as the superuser,
// whom no permission stops; a child run as another user then becomes the unprivileged
// user "nobody". POSIX only.
#pragma once

#include <chrono>
#include <functional>

namespace cmp {

// Whether the tests run as the superuser (and a child as ChildUser::Other changes user).
bool RunningAsSuperuser();

// How a child ended.
struct ChildEnd {
    bool exited = false;    // by _exit: `status` is its exit status
    bool signaled = false;  // by a signal: `status` is the signal
    bool timedOut = false;  // still running after the limit: killed
    int status = 0;
};

enum class ChildUser {
    Same,   // the test's user
    Other,  // "nobody" (65534) when the tests run as the superuser, else the test's user
};

// Runs `body` in a child process, which exits with what `body` returns; a child still
// running after `limit` is killed. `body` runs after fork: it must not return into the
// test framework, nor wait for a lock another thread of the test held.
ChildEnd RunInChild(const std::function<int()>& body, std::chrono::milliseconds limit,
                    ChildUser user = ChildUser::Same);

}  // namespace cmp
