#include "files/system_error.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cstring>
#endif

namespace cmp {

#ifdef _WIN32

std::string SystemErrorText(SystemError code) {
    if (code == 0) {
        return {};
    }
    char text[512] = {};
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, code, 0, text, sizeof text, nullptr);
    std::string reason(text, length);
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' ||
                               reason.back() == ' ' || reason.back() == '.')) {
        reason.pop_back();
    }
    return reason.empty() ? "error " + std::to_string(code) : reason;
}

#else

std::string SystemErrorText(SystemError code) {
    return code == 0 ? std::string() : std::string(std::strerror(code));
}

#endif

}  // namespace cmp
