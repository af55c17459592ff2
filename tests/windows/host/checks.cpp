#include "tests/windows/host/checks.h"

#include <windows.h>

void Checks::Begin(const std::string& name) {
    EndCase();
    current_ = name;
    inCase_ = true;
    caseFailed_ = false;
    startTick_ = GetTickCount();
    std::printf("[ RUN      ] %s\n", name.c_str());
    std::fflush(stdout);
}

void Checks::Expect(bool condition, const std::string& what) {
    if (!condition) {
        caseFailed_ = true;
        std::printf("  failed: %s\n", what.c_str());
        std::fflush(stdout);
    }
}

void Checks::EndCase() {
    if (!inCase_) {
        return;
    }
    inCase_ = false;
    std::printf("[ %s ] %s (%lu ms)\n", caseFailed_ ? "  FAILED" : "      OK", current_.c_str(),
                GetTickCount() - startTick_);
    std::fflush(stdout);
    (caseFailed_ ? failed_ : passed_) += 1;
}

bool Checks::Summary() {
    EndCase();
    std::printf("%d passed, %d failed\n", passed_, failed_);
    std::fflush(stdout);
    return failed_ == 0 && passed_ > 0;
}
