#pragma once

#include <algorithm>
#include <iterator>
#include <string_view>

#include "mesh/export_mesh.h"

namespace cmp {

// The mesh's name up to its first 0 byte, never past the end of the 200-byte field: a
// view of the record's own bytes.
inline std::string_view MeshNameOf(const ExportMesh& mesh) {
    const char* end = std::find(std::begin(mesh.meshName), std::end(mesh.meshName), '\0');
    return {mesh.meshName, static_cast<std::size_t>(end - mesh.meshName)};
}

}  // namespace cmp
