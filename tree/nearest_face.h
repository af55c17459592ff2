// The faces that may orient a hardpoint, and the plain scan for the nearest of them that
// the index (tree/nearest_face_index.h) must agree with.
#pragma once

#include <vector>

#include "mesh/export_mesh.h"

namespace cmp {

struct CandidateFace {
    Vector3 centre;  // ((a + b) + c) * 0.333333343f per coordinate
    Vector3 normal;
};

// The face nearest to `position` by scanning every candidate in order, or null when none
// is nearer than 999999: differences in float, squares summed and the root taken in
// double, and only a strictly nearer face replaces the best so far. For a few searches
// this costs less than building an index.
const CandidateFace* ScanForNearestCandidate(const std::vector<CandidateFace>& faces,
                                             const Vector3& position);

}  // namespace cmp
