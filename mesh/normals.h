#pragma once

#include <cstdint>
#include <vector>

#include "mesh/export_mesh.h"

// source / |source|, the length taken in double and each component divided in double
// and rounded once. A zero-length source gives (0, 0, 0), never NaN.
Vector3 NormalizeVector(const Vector3& source);

// Fills every vertex normal (the normalised mean of the face normals of the triangles
// that use it, added in ascending triangle order) and returns the face normals, one per
// triangle. Triangles with a corner at or above vertexCount are skipped and get (0,0,0).
// Vertices that no triangle uses, or whose mean has zero length, keep their normal.
std::vector<Vector3> GenerateNormals(std::vector<ExportVertex>& vertices,
                                     const std::vector<std::uint16_t>& triangles);
