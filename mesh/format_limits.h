#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/error.h"
#include "mesh/export_mesh.h"

namespace cmp {

// The mesh data stream stores its counts and vertex numbers in 16 bits.
inline constexpr std::int64_t MaxStreamMeshes = 65535;
inline constexpr std::int64_t MaxStreamIndices = 65535;
inline constexpr std::int64_t MaxStreamVertices = 65535;

// The most reasons one message lists; further ones are summed up in a last line.
inline constexpr std::size_t MaxListedProblems = 10;

enum class FormatProblemKind {
    TooManyMeshes,     // count: meshes besides hardpoints; limit: MaxStreamMeshes
    TooManyCorners,    // count: corners in all, three a triangle; limit: MaxStreamIndices
    TooManyVertices,   // count: vertices in all; limit: MaxStreamVertices
    VertexOutOfRange,  // count: the vertex a corner uses; limit: the mesh's vertex count
    NotFinite,         // a position or texture coordinate that is not a finite number
};

// One reason a list of meshes cannot be stored as a mesh data stream. For a total,
// `meshName` is the mesh at which it first passes its limit; otherwise the mesh at fault.
struct FormatProblem {
    FormatProblemKind kind = FormatProblemKind::TooManyMeshes;
    std::string meshName;
    std::int64_t count = 0;  // see the kinds; 0 for NotFinite
    std::int64_t limit = 0;  // see the kinds; 0 for NotFinite
    std::size_t at = 0;      // the triangle (VertexOutOfRange) or vertex (NotFinite) at fault
};

// Every reason this list cannot be stored as a mesh data stream, in list order, totals
// first: more than 65,535 non-hardpoint meshes, or indices or vertices in all (of
// non-hardpoint meshes); a corner at or above its mesh's vertex count (any mesh; the
// first such corner of each); a position or texture coordinate that is not finite (any
// mesh; its first such vertex). Which meshes are hardpoints it takes from the record's
// flag that extraction set; the rest it reads from the vertices and corners themselves.
std::vector<FormatProblem> FindFormatProblems(const MeshList& meshes);

// The refusal's reasons in the plug-in's words: the first MaxListedProblems problems,
// then a line that sums up the rest ("and 3 more problems"), for example:
//   mesh "Hull" uses vertex 70 but has 64 vertices (triangle 3)
// A reason holds a line break only where a mesh name does.
std::vector<std::string> RefusalReasons(const std::vector<FormatProblem>& problems);

// Ok without problems; otherwise ErrorCode::ModelRefused whose message is the reasons,
// one a line.
Status RefusalOf(const std::vector<FormatProblem>& problems);

// RefusalOf(FindFormatProblems(meshes)), checked before any byte is written.
Status CheckFormatLimits(const MeshList& meshes);

}  // namespace cmp
