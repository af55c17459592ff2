#include "tools/cmpinfo/report/report.h"

#include <cstdio>
#include <string>

#include "core/text.h"

namespace cmp {

void TellUser(std::string_view message) {
    const std::string shown = "cmpinfo: " + TerminalText(message) + "\n";
    std::fputs(shown.c_str(), stderr);
}

}  // namespace cmp
