#include "mesh/hardpoint_name.h"
#include "core/text.h"

namespace cmp {

bool IsHardpointName(const char* name) {
    // Comparing the first character before reading the second keeps a one-character
    // name from being read past its terminator.
    return name != nullptr && IsHardpointName(std::string_view(name));
}

bool IsHardpointName(std::string_view name) {
    return name.size() >= 2 && FoldAsciiCase(name[0]) == 'h' && FoldAsciiCase(name[1]) == 'p';
}

}  // namespace cmp
