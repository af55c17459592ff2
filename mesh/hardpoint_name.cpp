#include "mesh/hardpoint_name.h"

namespace cmp {

namespace {

char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

bool IsHardpointName(const char* name) {
    // Comparing the first character before reading the second keeps a one-character
    // name from being read past its terminator.
    return name != nullptr && AsciiLower(name[0]) == 'h' && AsciiLower(name[1]) == 'p';
}

}  // namespace cmp
