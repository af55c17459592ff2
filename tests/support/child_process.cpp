#include "tests/support/child_process.h"

#include <grp.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

namespace cmp {

namespace {

constexpr unsigned Nobody = 65534;

}  // namespace

bool RunningAsSuperuser() {
    return geteuid() == 0;
}

ChildEnd RunInChild(const std::function<int()>& body, std::chrono::milliseconds limit,
                    ChildUser user) {
    const pid_t child = fork();
    if (child == 0) {
        if (user == ChildUser::Other && RunningAsSuperuser() &&
            (setgroups(0, nullptr) != 0 || setgid(Nobody) != 0 || setuid(Nobody) != 0)) {
            _exit(125);
        }
        _exit(body());
    }
    ChildEnd end;
    if (child < 0) {
        return end;
    }
    const auto until = std::chrono::steady_clock::now() + limit;
    int status = 0;
    pid_t done = 0;
    while ((done = waitpid(child, &status, WNOHANG)) == 0) {
        if (std::chrono::steady_clock::now() >= until) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            end.timedOut = true;
            return end;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    end.exited = WIFEXITED(status);
    end.signaled = WIFSIGNALED(status);
    end.status = end.exited ? WEXITSTATUS(status) : end.signaled ? WTERMSIG(status) : 0;
    return end;
}

}  // namespace cmp
