// The nearest-face search as a plain scan of every candidate in order: the reference
// that the index must agree with, face for face.
#pragma once

#include <cmath>
#include <vector>

#include "tree/tree.h"

namespace cmp {

inline const CandidateFace* ScanForNearestFace(const std::vector<CandidateFace>& faces,
                                               const Vector3& position) {
    // Differences in float; squares summed and the root taken in double; a face must be
    // strictly nearer than the best so far, starting from 999999.
    double best = 999999.0f;
    const CandidateFace* nearest = nullptr;
    for (const CandidateFace& face : faces) {
        const float dx = position.x - face.centre.x;
        const float dy = position.y - face.centre.y;
        const float dz = position.z - face.centre.z;
        const double distance = std::sqrt(double{dx} * dx + double{dy} * dy + double{dz} * dz);
        if (distance < best) {
            best = distance;
            nearest = &face;
        }
    }
    return nearest;
}

}  // namespace cmp
