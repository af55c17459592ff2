// The nearest-face search behind hardpoint orientations, split so that a whole branch
// of hardpoints gathers the candidate faces once.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "mesh/export_mesh.h"

namespace cmp {

struct CandidateFace {
    Vector3 centre;  // ((a + b) + c) * 0.333333343f per coordinate
    Vector3 normal;
};

// Every face that may orient a hardpoint, in list order then triangle order: faces of
// non-hardpoint meshes whose corners all lie inside the mesh's vertices and whose
// normal is not zero.
std::vector<CandidateFace> CandidateFaces(const MeshList& meshes);

// The face nearest to `position` by scanning every candidate in order, or null when none
// is nearer than 999999: differences in float, squares summed and the root taken in
// double, and only a strictly nearer face replaces the best so far. For a few searches
// this costs less than building an index.
const CandidateFace* ScanForNearestCandidate(const std::vector<CandidateFace>& faces,
                                             const Vector3& position);

// Engines, mounts and thrusters ("HpEngine", "HpMount", "HpThruster" at the start of the
// hardpoint name, any case) keep the model's own axes: their orientation is the identity
// and needs no face.
bool KeepsModelAxes(const std::string& hardpointName);

// The orientation the face `nearest` gives a hardpoint; the identity when it is null.
std::array<float, 9> OrientationFromFace(const CandidateFace* nearest);

}  // namespace cmp
