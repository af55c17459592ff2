#include "mesh/normals.h"

#include <cmath>
#include <cstddef>

namespace {

bool IsZero(const Vector3& v) {
    return v.x == 0.0f && v.y == 0.0f && v.z == 0.0f;
}

// A triangle whose corners all lie inside the vertex array; the others are left out of
// both passes, so nothing is ever read outside the array.
bool CornersInRange(const std::uint16_t* corners, std::size_t vertexCount) {
    return corners[0] < vertexCount && corners[1] < vertexCount && corners[2] < vertexCount;
}

// Vertex-to-triangle incidence in compressed rows: the triangles of vertex v are
// triangleOf[firstOf[v] .. firstOf[v + 1]), ascending, because the fill pass walks the
// triangles in ascending order. The ascending order matters: it fixes the order of the
// single-precision additions and so the last bits of every vertex normal.
struct VertexTriangles {
    std::vector<std::uint32_t> firstOf;
    std::vector<std::uint32_t> triangleOf;
};

// Calls visit(corner) once for each distinct corner of the triangle.
template <class Visit>
void ForEachDistinctCorner(const std::uint16_t* corners, Visit visit) {
    visit(corners[0]);
    if (corners[1] != corners[0]) {
        visit(corners[1]);
    }
    if (corners[2] != corners[0] && corners[2] != corners[1]) {
        visit(corners[2]);
    }
}

VertexTriangles BuildVertexTriangles(const std::vector<std::uint16_t>& triangles,
                                     std::size_t triangleCount, std::size_t vertexCount) {
    VertexTriangles incidence;
    incidence.firstOf.assign(vertexCount + 1, 0);
    // Counting pass: firstOf[v + 1] = number of triangles using v.
    for (std::size_t t = 0; t < triangleCount; ++t) {
        const std::uint16_t* corners = &triangles[3 * t];
        if (CornersInRange(corners, vertexCount)) {
            ForEachDistinctCorner(corners, [&](std::uint16_t v) { ++incidence.firstOf[v + 1]; });
        }
    }
    for (std::size_t v = 0; v < vertexCount; ++v) {
        incidence.firstOf[v + 1] += incidence.firstOf[v];
    }
    // Fill pass, in ascending triangle order.
    incidence.triangleOf.resize(incidence.firstOf[vertexCount]);
    std::vector<std::uint32_t> next(incidence.firstOf.begin(), incidence.firstOf.end() - 1);
    for (std::size_t t = 0; t < triangleCount; ++t) {
        const std::uint16_t* corners = &triangles[3 * t];
        if (CornersInRange(corners, vertexCount)) {
            ForEachDistinctCorner(corners, [&](std::uint16_t v) {
                incidence.triangleOf[next[v]++] = static_cast<std::uint32_t>(t);
            });
        }
    }
    return incidence;
}

Vector3 VertexNormal(const VertexTriangles& incidence, std::size_t v,
                     const std::vector<Vector3>& faceNormals) {
    const std::uint32_t first = incidence.firstOf[v];
    const std::uint32_t end = incidence.firstOf[v + 1];
    if (first == end) {
        return DefaultVertexNormal;
    }
    Vector3 sum;
    for (std::uint32_t k = first; k < end; ++k) {
        const Vector3& face = faceNormals[incidence.triangleOf[k]];
        sum.x += face.x;
        sum.y += face.y;
        sum.z += face.z;
    }
    const double count = static_cast<float>(end - first);
    const Vector3 average{static_cast<float>(sum.x / count), static_cast<float>(sum.y / count),
                          static_cast<float>(sum.z / count)};
    const Vector3 normal = NormalizeVector(average);
    return IsZero(normal) ? DefaultVertexNormal : normal;
}

}  // namespace

// Kept out of line on purpose: GCC 12's SLP vectorizer, once this is inlined after a
// narrowing to float, can divide the unrounded double values instead of the stored
// floats, which changes the last bit. A call boundary forces the rounding to happen.
[[gnu::noinline]] Vector3 NormalizeVector(const Vector3& source) {
    const double x = source.x;
    const double y = source.y;
    const double z = source.z;
    const double length = std::sqrt(x * x + y * y + z * z);
    // A degenerate triangle or a cancelled mean would otherwise give NaN, which then
    // spreads through every sum it enters; overflowed edges give an infinite length.
    if (!(length > 0.0) || !std::isfinite(length)) {
        return {};
    }
    return {static_cast<float>(x / length), static_cast<float>(y / length),
            static_cast<float>(z / length)};
}

Vector3 FaceNormal(const float* p0, const float* p1, const float* p2) {
    const float e1x = p1[0] - p0[0];
    const float e1y = p1[1] - p0[1];
    const float e1z = p1[2] - p0[2];
    const float e2x = p2[0] - p0[0];
    const float e2y = p2[1] - p0[1];
    const float e2z = p2[2] - p0[2];
    // Products of two floats are exact in double, so each component is rounded only by
    // its subtraction and then once more to float.
    const Vector3 cross{
        static_cast<float>(static_cast<double>(e1y) * e2z - static_cast<double>(e1z) * e2y),
        static_cast<float>(static_cast<double>(e1z) * e2x - static_cast<double>(e1x) * e2z),
        static_cast<float>(static_cast<double>(e1x) * e2y - static_cast<double>(e1y) * e2x)};
    return NormalizeVector(cross);
}

std::vector<Vector3> GenerateNormals(std::vector<ExportVertex>& vertices,
                                     const std::vector<std::uint16_t>& triangles) {
    const std::size_t vertexCount = vertices.size();
    const std::size_t triangleCount = triangles.size() / 3;

    // Face normals; triangles with a corner outside the array keep (0, 0, 0).
    std::vector<Vector3> faceNormals(triangleCount);
    for (std::size_t t = 0; t < triangleCount; ++t) {
        const std::uint16_t* corners = &triangles[3 * t];
        if (CornersInRange(corners, vertexCount)) {
            faceNormals[t] =
                FaceNormal(vertices[corners[0]].position, vertices[corners[1]].position,
                           vertices[corners[2]].position);
        }
    }

    // Vertex normals from each vertex's own triangles, in ascending order.
    const VertexTriangles incidence = BuildVertexTriangles(triangles, triangleCount, vertexCount);
    for (std::size_t v = 0; v < vertexCount; ++v) {
        const Vector3 normal = VertexNormal(incidence, v, faceNormals);
        vertices[v].normal[0] = normal.x;
        vertices[v].normal[1] = normal.y;
        vertices[v].normal[2] = normal.z;
    }
    return faceNormals;
}
