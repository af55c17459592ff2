#include "modelhost/import_model.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <new>

#include "core/text.h"
#include "standin/ztModelBuilder.h"

namespace cmp {

namespace {

using Clock = std::chrono::steady_clock;

// ---- the child ----

// Set when operator new fails in the child: the importer catches the std::bad_alloc
// itself and reports it as an ordinary read error, which would hide the reason.
volatile sig_atomic_t childOutOfMemory = 0;

void NoteOutOfMemory() {
    childOutOfMemory = 1;
    throw std::bad_alloc();
}

// The child's current address space (VmSize), or 0 when the system does not say.
std::uint64_t CurrentAddressSpace() {
    std::ifstream statm("/proc/self/statm");
    std::uint64_t pages = 0;
    if (!(statm >> pages)) {
        return 0;
    }
    return pages * static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE));
}

void LimitChild(const ImportLimits& limits) {
    const rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
    rlimit space{};
    if (getrlimit(RLIMIT_AS, &space) == 0) {
        const std::uint64_t wanted = CurrentAddressSpace() + limits.addressSpaceBudget;
        if (space.rlim_max == RLIM_INFINITY || wanted < space.rlim_max) {
            space.rlim_max = wanted;
        }
        space.rlim_cur = space.rlim_max;
        setrlimit(RLIMIT_AS, &space);
    }
    std::set_new_handler(NoteOutOfMemory);
}

Bytes ImportReplyFor(const std::string& path) {
    ztModel model = ztBuild_CreateModel();
    if (model == nullptr) {
        return EncodeImportOutOfMemory();
    }
    Bytes reply;
    try {
        Result<ImportSummary> imported = ImportModel(path, model);
        if (childOutOfMemory) {
            reply = EncodeImportOutOfMemory();
        } else if (!imported) {
            reply = EncodeImportFailure(imported.message());
        } else {
            reply = EncodeImportedModel(model, imported.value());
        }
    } catch (const std::bad_alloc&) {
        reply.clear();
        reply.shrink_to_fit();
        reply = EncodeImportOutOfMemory();
    } catch (const std::exception& failure) {
        reply = EncodeImportFailure("cannot import '" + TerminalText(path) +
                                    "': the importer failed: " + TerminalText(failure.what()));
    } catch (...) {
        reply =
            EncodeImportFailure("cannot import '" + TerminalText(path) + "': the importer failed");
    }
    ztModel_Destroy(model);
    return reply;
}

bool WriteAll(int fd, const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        const ssize_t written = write(fd, data, size);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

[[noreturn]] void RunChild(const std::string& path, int out, const ImportLimits& limits) {
    // A crash must end the child by its signal, whatever handlers the host installed
    // (a crash reporter, a sanitizer): the parent reads the signal as the reason.
    for (const int fatal : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGTRAP, SIGSYS}) {
        signal(fatal, SIG_DFL);
    }
    // A parent that gave up closes its end: the child then just ends.
    signal(SIGPIPE, SIG_IGN);
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    LimitChild(limits);
    bool sent = false;
    try {
        const Bytes reply = ImportReplyFor(path);
        sent = WriteAll(out, reply.data(), reply.size());
    } catch (...) {
        // Even the small failure messages could not be allocated.
        static constexpr std::uint8_t outOfMemory[] = {'Z', 'T', 'M', 'W', 1, 0, 0, 0, 2, 0, 0, 0};
        sent = WriteAll(out, outOfMemory, sizeof outOfMemory);
    }
    // _exit: nothing of the parent's (buffered output, test frameworks, leak checkers)
    // may run twice.
    _exit(sent ? 0 : 1);
}

// ---- the parent ----

struct ChildOutcome {
    Bytes reply;
    bool timedOut = false;
    bool tooLarge = false;
    int waitStatus = 0;
};

int MillisecondsUntil(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() <= 0 ? 0 : static_cast<int>(std::min<long long>(left.count(), 1 << 30));
}

// Reads until the child closes the pipe, the deadline passes or the reply grows past
// what any model needs.
void Collect(int in, Clock::time_point deadline, ChildOutcome& outcome) {
    std::uint8_t piece[65536];
    for (;;) {
        pollfd ready{in, POLLIN, 0};
        const int polled = poll(&ready, 1, MillisecondsUntil(deadline));
        if (polled < 0 && errno == EINTR) {
            continue;
        }
        if (polled < 0) {
            return;  // as at the end of the reply: the reaping decides
        }
        if (polled == 0) {
            outcome.timedOut = true;
            return;
        }
        const ssize_t got = read(in, piece, sizeof piece);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return;
        }
        if (outcome.reply.size() + static_cast<std::size_t>(got) > MaxWireBytes) {
            outcome.tooLarge = true;
            return;
        }
        outcome.reply.insert(outcome.reply.end(), piece, piece + got);
    }
}

// Reaps the child; one that does not end by the deadline (or must not go on) is killed.
void Reap(pid_t child, Clock::time_point deadline, bool kill, ChildOutcome& outcome) {
    if (!kill) {
        for (;;) {
            const pid_t done = waitpid(child, &outcome.waitStatus, WNOHANG);
            if (done == child) {
                return;
            }
            if (done < 0 && errno != EINTR) {
                return;
            }
            if (Clock::now() >= deadline) {
                outcome.timedOut = true;
                break;
            }
            usleep(2000);
        }
    }
    ::kill(child, SIGKILL);
    while (waitpid(child, &outcome.waitStatus, 0) < 0 && errno == EINTR) {
    }
}

std::string DescribeSignal(int signal) {
    const char* name = strsignal(signal);
    return "signal " + std::to_string(signal) + (name != nullptr ? std::string(", ") + name : "");
}

}  // namespace

std::string DescribeTimeLimit(std::chrono::milliseconds limit) {
    if (limit.count() % 1000 == 0) {
        return std::to_string(limit.count() / 1000) + " s";
    }
    return std::to_string(limit.count()) + " ms";
}

Result<ImportSummary> ImportModelIsolated(const std::string& path, ztModel model,
                                          const ImportLimits& limits) {
    const std::string failure = "cannot import '" + TerminalText(path) + "': ";
    if (model == nullptr) {
        return Error{ErrorCode::ImportFailed, failure + "no model to fill"};
    }
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0) {
        return Error{ErrorCode::ImportFailed,
                     failure + "cannot start the importer: " + std::strerror(errno)};
    }
    // Whatever the host has buffered must not be written a second time by the child.
    std::fflush(nullptr);
    const Clock::time_point deadline = Clock::now() + limits.timeLimit;
    const pid_t child = fork();
    if (child < 0) {
        const int error = errno;
        close(pipeEnds[0]);
        close(pipeEnds[1]);
        return Error{ErrorCode::ImportFailed,
                     failure + "cannot start the importer: " + std::strerror(error)};
    }
    if (child == 0) {
        close(pipeEnds[0]);
        RunChild(path, pipeEnds[1], limits);
    }
    close(pipeEnds[1]);
    ChildOutcome outcome;
    Collect(pipeEnds[0], deadline, outcome);
    close(pipeEnds[0]);
    Reap(child, deadline, outcome.timedOut || outcome.tooLarge, outcome);

    if (outcome.timedOut) {
        return Error{ErrorCode::ImporterTimedOut, failure + "the importer took longer than " +
                                                      DescribeTimeLimit(limits.timeLimit)};
    }
    if (outcome.tooLarge) {
        return Error{ErrorCode::ImportFailed, failure + "the importer sent more than the " +
                                                  std::to_string(MaxWireBytes >> 20) +
                                                  " MiB any model may take"};
    }
    if (WIFSIGNALED(outcome.waitStatus)) {
        return Error{ErrorCode::ImporterCrashed, failure + "the importer crashed (" +
                                                     DescribeSignal(WTERMSIG(outcome.waitStatus)) +
                                                     ")"};
    }
    if (!WIFEXITED(outcome.waitStatus) || WEXITSTATUS(outcome.waitStatus) != 0) {
        return Error{ErrorCode::ImportFailed, failure + "the importer stopped with exit status " +
                                                  std::to_string(WEXITSTATUS(outcome.waitStatus))};
    }
    Result<ImportReply> reply = DecodeImportReply(outcome.reply, model);
    if (!reply) {
        return Error{ErrorCode::MalformedReply, failure + "the importer sent a " + reply.message()};
    }
    switch (reply.value().kind) {
        case ImportWireKind::Model:
            return reply.value().summary;
        case ImportWireKind::OutOfMemory:
            return Error{ErrorCode::ImporterOutOfMemory,
                         failure + "the importer ran out of memory"};
        case ImportWireKind::ImportFailed:
            break;
    }
    return Error{ErrorCode::ImportFailed, reply.value().message.empty()
                                              ? failure + "the importer failed"
                                              : reply.value().message};
}

}  // namespace cmp
