#pragma once

#include <cstdint>
#include <vector>

#include "mesh/export_mesh.h"

namespace cmp {

// The normal a vertex gets when no usable face normal reaches it: straight up.
inline constexpr Vector3 DefaultVertexNormal{0.0f, 1.0f, 0.0f};

// Fills the normal of every vertex a triangle uses and returns the face normals, one per
// triangle (triangles holds three corners per triangle; a trailing partial triangle is
// ignored).
// A face normal follows the right-hand rule over the corner order: float edges p1 - p0
// and p2 - p0, each cross-product component computed in double and rounded once, then
// divided by its length (taken in double; each component divided in double and rounded
// once); (0, 0, 0) for a degenerate triangle or one whose length is not finite.
// A vertex normal is the mean of the face normals of the triangles that use the vertex,
// added in single precision in ascending triangle order, at unit length as above; a
// triangle that names a vertex more than once counts once for it, and a degenerate
// triangle counts with (0, 0, 0). Triangles with a corner at or above vertices.size() get (0, 0, 0)
// and count for no vertex. A vertex whose mean has zero length gets DefaultVertexNormal; a vertex
// that no triangle uses keeps the normal it has (extraction gives every vertex DefaultVertexNormal
// as it reads it). Time and memory are linear in the mesh size, and vertices no triangle uses cost
// nothing.
std::vector<Vector3> GenerateNormals(std::vector<ExportVertex>& vertices,
                                     const std::vector<std::uint16_t>& triangles);

}  // namespace cmp
