#pragma once

#include <algorithm>
#include <iterator>
#include <string>

#include "mesh/export_mesh.h"

namespace cmp {

// The mesh's name up to its first 0 byte, never past the end of the 200-byte field.
inline std::string MeshNameOf(const ExportMesh& mesh) {
    const char* end = std::find(std::begin(mesh.meshName), std::end(mesh.meshName), '\0');
    return std::string(mesh.meshName, end);
}

}  // namespace cmp
