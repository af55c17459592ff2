#include "files/files.h"

#include <cstring>

namespace cmp {

std::string SystemErrorText(SystemError code) {
    return code == 0 ? std::string() : std::string(std::strerror(code));
}

}  // namespace cmp
