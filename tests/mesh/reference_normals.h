// The plain quadratic normal pass, written out literally for tests and benchmarks:
// every vertex tests every triangle, in ascending order. It shares no code with
// mesh/normals.cpp, so agreement bit for bit checks the fast pass's order of additions.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "mesh/mesh.h"

namespace cmp {

namespace reference {

// Out of line: inlined, GCC 12's SLP vectorizer (when it is on) may skip the rounding
// of v to float.
[[gnu::noinline]] inline Vector3 Normalize(const Vector3& v) {
    const double length =
        std::sqrt(static_cast<double>(v.x) * v.x + static_cast<double>(v.y) * v.y +
                  static_cast<double>(v.z) * v.z);
    if (length == 0.0 || !std::isfinite(length)) {
        return {};
    }
    return {static_cast<float>(v.x / length), static_cast<float>(v.y / length),
            static_cast<float>(v.z / length)};
}

inline bool InRange(const std::vector<std::uint16_t>& triangles, std::size_t t,
                    std::size_t vertexCount) {
    return triangles[3 * t] < vertexCount && triangles[3 * t + 1] < vertexCount &&
           triangles[3 * t + 2] < vertexCount;
}

inline std::vector<Vector3> QuadraticNormals(std::vector<ExportVertex>& vertices,
                                             const std::vector<std::uint16_t>& triangles) {
    const std::size_t vertexCount = vertices.size();
    const std::size_t triangleCount = triangles.size() / 3;
    std::vector<Vector3> faces(triangleCount);
    for (std::size_t t = 0; t < triangleCount; ++t) {
        if (!InRange(triangles, t, vertexCount)) {
            continue;
        }
        const float* p0 = vertices[triangles[3 * t]].position;
        const float* p1 = vertices[triangles[3 * t + 1]].position;
        const float* p2 = vertices[triangles[3 * t + 2]].position;
        const float e1[3] = {p1[0] - p0[0], p1[1] - p0[1], p1[2] - p0[2]};
        const float e2[3] = {p2[0] - p0[0], p2[1] - p0[1], p2[2] - p0[2]};
        const double d1[3] = {e1[0], e1[1], e1[2]};
        const double d2[3] = {e2[0], e2[1], e2[2]};
        const Vector3 cross{static_cast<float>(d1[1] * d2[2] - d1[2] * d2[1]),
                            static_cast<float>(d1[2] * d2[0] - d1[0] * d2[2]),
                            static_cast<float>(d1[0] * d2[1] - d1[1] * d2[0])};
        faces[t] = Normalize(cross);
    }
    for (std::size_t v = 0; v < vertexCount; ++v) {
        Vector3 sum;
        int count = 0;
        for (std::size_t t = 0; t < triangleCount; ++t) {
            if (!InRange(triangles, t, vertexCount)) {
                continue;
            }
            if (triangles[3 * t] == v || triangles[3 * t + 1] == v || triangles[3 * t + 2] == v) {
                sum.x += faces[t].x;
                sum.y += faces[t].y;
                sum.z += faces[t].z;
                ++count;
            }
        }
        Vector3 normal{0.0f, 1.0f, 0.0f};
        if (count > 0) {
            const float countAsFloat = static_cast<float>(count);
            const Vector3 average{static_cast<float>(static_cast<double>(sum.x) / countAsFloat),
                                  static_cast<float>(static_cast<double>(sum.y) / countAsFloat),
                                  static_cast<float>(static_cast<double>(sum.z) / countAsFloat)};
            const Vector3 unit = Normalize(average);
            if (unit.x != 0.0f || unit.y != 0.0f || unit.z != 0.0f) {
                normal = unit;
            }
        }
        vertices[v].normal[0] = normal.x;
        vertices[v].normal[1] = normal.y;
        vertices[v].normal[2] = normal.z;
    }
    return faces;
}

}  // namespace reference

}  // namespace cmp
