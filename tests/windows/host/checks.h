// A small harness for the host's checks: each case prints its failures and a verdict,
// and the run ends with the count line CI reads.
#pragma once

#include <cstdio>
#include <sstream>
#include <string>

class Checks {
  public:
    // Starts a case; its checks count towards it until the next Begin or Summary.
    void Begin(const std::string& name);
    void Expect(bool condition, const std::string& what);
    template <class Actual, class Expected>
    void Equal(const Actual& actual, const Expected& expected, const std::string& what) {
        if (actual == expected) {
            Expect(true, what);
            return;
        }
        std::ostringstream message;
        message << what << ": got " << actual << ", expected " << expected;
        Expect(false, message.str());
    }
    // Ends the last case and prints "N passed, N failed"; true when none failed.
    bool Summary();

  private:
    void EndCase();

    std::string current_;
    bool inCase_ = false;
    bool caseFailed_ = false;
    int passed_ = 0;
    int failed_ = 0;
    unsigned long startTick_ = 0;
};
