#include "mesh/normals.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace cmp {

// Bit-exactness and GCC 12: its SLP vectorizer, given a value narrowed to float and then
// widened again within one function, can go on with the unrounded double and so change
// the last bit. Every narrowing here is therefore stored, and the code that widens it
// again runs in a separate function kept out of line ([[gnu::noinline]]), which has to
// read the rounded float back from memory.

namespace {

bool IsZero(const Vector3& v) {
    return v.x == 0.0f && v.y == 0.0f && v.z == 0.0f;
}

// A triangle whose corners all lie inside the vertex array; the others are left out of
// both passes, so nothing is ever read outside the array.
bool CornersInRange(const std::uint16_t* corners, std::size_t vertexCount) {
    return corners[0] < vertexCount && corners[1] < vertexCount && corners[2] < vertexCount;
}

// e1 x e2 for the float edges e1 = p1 - p0, e2 = p2 - p0. Products of two floats are
// exact in double, so each component is rounded by its subtraction and once to float.
Vector3 CrossProduct(const float* p0, const float* p1, const float* p2) {
    const float e1x = p1[0] - p0[0];
    const float e1y = p1[1] - p0[1];
    const float e1z = p1[2] - p0[2];
    const float e2x = p2[0] - p0[0];
    const float e2y = p2[1] - p0[1];
    const float e2z = p2[2] - p0[2];
    return {static_cast<float>(static_cast<double>(e1y) * e2z - static_cast<double>(e1z) * e2y),
            static_cast<float>(static_cast<double>(e1z) * e2x - static_cast<double>(e1x) * e2z),
            static_cast<float>(static_cast<double>(e1x) * e2y - static_cast<double>(e1y) * e2x)};
}

// The length in double, each component divided in double and rounded once. A zero or
// non-finite length gives (0, 0, 0): a degenerate triangle or a cancelled mean would
// otherwise give NaN, which then spreads through every sum it enters.
inline Vector3 Normalized(const Vector3& source) {
    const double x = source.x;
    const double y = source.y;
    const double z = source.z;
    const double length = std::sqrt(x * x + y * y + z * z);
    if (!(length > 0.0) || !std::isfinite(length)) {
        return {};
    }
    return {static_cast<float>(x / length), static_cast<float>(y / length),
            static_cast<float>(z / length)};
}

// One pass over the whole array: the square roots and divisions of different vectors
// do not wait for one another, which is where most of the time of the normals goes.
[[gnu::noinline]] void NormalizeFaceNormals(std::vector<Vector3>& faceNormals) {
    for (Vector3& normal : faceNormals) {
        normal = Normalized(normal);
    }
}

// One vertex's running sum of face normals and their number, kept together and apart
// from the 32-byte vertex records: the sums are added to in random vertex order, and a
// 16-byte record touches one cache line where a vertex and a separate count take two.
struct VertexSum {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
    std::uint32_t count = 0;
};

// Adds face normal t to the sum of each distinct corner: a triangle that names a vertex
// twice counts once for it. The triangles come in ascending order, so every vertex
// receives its terms in ascending triangle order, which fixes the last bits of its sum.
void AddToCorners(const std::uint16_t* corners, const Vector3& face, std::vector<VertexSum>& sums) {
    const auto add = [&](std::uint16_t v) {
        VertexSum& sum = sums[v];
        sum.x += face.x;
        sum.y += face.y;
        sum.z += face.z;
        ++sum.count;
    };
    add(corners[0]);
    if (corners[1] != corners[0]) {
        add(corners[1]);
    }
    if (corners[2] != corners[0] && corners[2] != corners[1]) {
        add(corners[2]);
    }
}

// Turns each sum into the mean: sum / count in double, rounded to float. A vertex that
// no triangle uses keeps (0, 0, 0).
[[gnu::noinline]] void DivideSumsByCounts(std::vector<VertexSum>& sums) {
    for (VertexSum& sum : sums) {
        // A single term is its own mean: dividing by 1 is exact, so it is skipped.
        if (sum.count > 1) {
            const double count = static_cast<float>(sum.count);
            sum.x = static_cast<float>(sum.x / count);
            sum.y = static_cast<float>(sum.y / count);
            sum.z = static_cast<float>(sum.z / count);
        }
    }
}

// Each mean at unit length into its vertex (means[v] is vertex v's); a mean of zero
// length gives DefaultVertexNormal. A vertex no triangle uses is not touched.
[[gnu::noinline]] void StoreVertexNormals(const std::vector<VertexSum>& means,
                                          std::vector<ExportVertex>& vertices) {
    for (std::size_t v = 0; v < means.size(); ++v) {
        if (means[v].count == 0) {
            continue;
        }
        Vector3 unit = Normalized({means[v].x, means[v].y, means[v].z});
        if (IsZero(unit)) {
            unit = DefaultVertexNormal;
        }
        vertices[v].normal[0] = unit.x;
        vertices[v].normal[1] = unit.y;
        vertices[v].normal[2] = unit.z;
    }
}

}  // namespace

[[gnu::noinline]] Vector3 NormalizeVector(const Vector3& source) {
    return Normalized(source);
}

std::vector<Vector3> GenerateNormals(std::vector<ExportVertex>& vertices,
                                     const std::vector<std::uint16_t>& triangles) {
    const std::size_t vertexCount = vertices.size();
    const std::size_t triangleCount = triangles.size() / 3;

    // Face normals; triangles with a corner outside the array keep (0, 0, 0). The highest
    // vertex they use bounds the sums: a model may hold many vertices no triangle uses.
    std::vector<Vector3> faceNormals(triangleCount);
    std::size_t usedVertices = 0;
    for (std::size_t t = 0; t < triangleCount; ++t) {
        const std::uint16_t* corners = &triangles[3 * t];
        if (CornersInRange(corners, vertexCount)) {
            faceNormals[t] =
                CrossProduct(vertices[corners[0]].position, vertices[corners[1]].position,
                             vertices[corners[2]].position);
            usedVertices = std::max<std::size_t>(
                usedVertices, std::max({corners[0], corners[1], corners[2]}) + std::size_t{1});
        }
    }
    NormalizeFaceNormals(faceNormals);

    // Vertex normals: one pass over the triangles in ascending order sums each vertex's
    // face normals in single precision; then the mean, then unit length. Linear in the
    // mesh size, where testing every triangle for every vertex is not.
    std::vector<VertexSum> sums(usedVertices);
    for (std::size_t t = 0; t < triangleCount; ++t) {
        const std::uint16_t* corners = &triangles[3 * t];
        if (CornersInRange(corners, vertexCount)) {
            AddToCorners(corners, faceNormals[t], sums);
        }
    }
    DivideSumsByCounts(sums);
    StoreVertexNormals(sums, vertices);
    return faceNormals;
}

}  // namespace cmp
