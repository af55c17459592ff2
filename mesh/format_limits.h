#pragma once

#include <cstddef>
#include <cstdint>

#include "core/error.h"
#include "mesh/export_mesh.h"

namespace cmp {

// The mesh data stream stores its counts and vertex numbers in 16 bits.
inline constexpr std::int64_t MaxStreamMeshes = 65535;
inline constexpr std::int64_t MaxStreamIndices = 65535;
inline constexpr std::int64_t MaxStreamVertices = 65535;

// The most reasons one message lists; further ones are summed up in a last line.
inline constexpr std::size_t MaxListedProblems = 10;

// Every reason this list cannot be stored as a mesh data stream, checked before any
// byte is written: more than 65,535 non-hardpoint meshes, or indices or vertices in all
// (of non-hardpoint meshes); a corner at or above its mesh's vertex count (any mesh); a
// position or texture coordinate that is not finite (any mesh). Which meshes are
// hardpoints it takes from the record's flag that extraction set; the rest it reads from
// the vertices and corners themselves.
// The message lists every reason, one line each, in list order (totals first), at
// most MaxListedProblems of them, for example:
//   mesh "Hull" uses vertex 70 but has 64 vertices
Status CheckFormatLimits(const MeshList& meshes);

}  // namespace cmp
