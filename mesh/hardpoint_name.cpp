#include "mesh/mesh.h"

#include "core/text.h"

namespace cmp {

bool IsHardpointName(const char* name) {
    // Only the first two characters are read (no length is taken), the second only when
    // the first is not the terminator: a name of any length is read within it.
    return name != nullptr && FoldAsciiCase(name[0]) == 'h' && FoldAsciiCase(name[1]) == 'p';
}

}  // namespace cmp
