#pragma once

#include <cstdint>
#include <vector>

#include "mesh/export_mesh.h"

namespace cmp {

// The normal a vertex gets when no usable face normal reaches it: straight up.
inline constexpr Vector3 DefaultVertexNormal{0.0f, 1.0f, 0.0f};

// source / |source|, the length taken in double and each component divided in double
// and rounded once. A source of zero or non-finite length gives (0, 0, 0), never NaN.
Vector3 NormalizeVector(const Vector3& source);

// Fills the normal of every vertex a triangle uses and returns the face normals, one per
// triangle (triangles holds three corners per triangle; a trailing partial triangle is
// ignored).
// A face normal follows the right-hand rule over the corner order: float edges p1 - p0
// and p2 - p0, each cross-product component computed in double and rounded once, then
// NormalizeVector; (0, 0, 0) for a degenerate triangle.
// A vertex normal is the normalised mean of the face normals of the triangles that use
// the vertex, added in single precision in ascending triangle order; a triangle that
// names a vertex more than once counts once for it, and a degenerate triangle counts
// with (0, 0, 0). Triangles with a corner at or above vertices.size() get (0, 0, 0) and
// count for no vertex. A vertex whose mean has zero length gets DefaultVertexNormal; a
// vertex that no triangle uses keeps the normal it has (extraction gives every vertex
// DefaultVertexNormal as it reads it). Time and memory are linear in the mesh size, and
// vertices no triangle uses cost nothing.
std::vector<Vector3> GenerateNormals(std::vector<ExportVertex>& vertices,
                                     const std::vector<std::uint16_t>& triangles);

}  // namespace cmp
