#include "mesh/mesh.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace cmp {

namespace {

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

// source / |source|: the length in double, each component divided in double and rounded
// once. A zero or non-finite length gives (0, 0, 0): a degenerate triangle or a
// cancelled mean would otherwise give NaN, which then spreads through every sum it
// enters.
Vector3 Normalized(const Vector3& source) {
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

// Vertex v's normal from sums[v]: the mean (sum / count in double, the count through
// float as the count of a sum of floats, rounded to float; a single term is its own
// mean, as dividing by 1 is exact), then at unit length; a mean of zero or no finite
// length gives DefaultVertexNormal. A vertex no triangle uses is not touched.
void StoreVertexNormals(const std::vector<VertexSum>& sums, std::vector<ExportVertex>& vertices) {
    for (std::size_t v = 0; v < sums.size(); ++v) {
        const VertexSum& sum = sums[v];
        if (sum.count == 0) {
            continue;
        }
        const double count = static_cast<float>(sum.count);
        const Vector3 mean = {static_cast<float>(sum.x / count), static_cast<float>(sum.y / count),
                              static_cast<float>(sum.z / count)};
        Vector3 unit = Normalized(mean);
        // Only such a mean comes out (0, 0, 0): any other keeps more than half of its
        // length in its largest component.
        if (unit.x == 0.0f && unit.y == 0.0f && unit.z == 0.0f) {
            unit = DefaultVertexNormal;
        }
        vertices[v].normal[0] = unit.x;
        vertices[v].normal[1] = unit.y;
        vertices[v].normal[2] = unit.z;
    }
}

}  // namespace

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
            faceNormals[t] = Normalized(CrossProduct(vertices[corners[0]].position,
                                                     vertices[corners[1]].position,
                                                     vertices[corners[2]].position));
            usedVertices = std::max<std::size_t>(
                usedVertices, std::max({corners[0], corners[1], corners[2]}) + std::size_t{1});
        }
    }

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
    StoreVertexNormals(sums, vertices);
    return faceNormals;
}

}  // namespace cmp
