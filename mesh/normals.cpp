#include "mesh/normals.h"

#include <emmintrin.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>

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

// The square roots and divisions are where most of the time of the normals goes, so
// they are done for two vectors at once (SSE2, which both targets have): each lane
// rounds exactly as Normalized does for one vector.
struct VectorPair {
    __m128d x;  // lane 0 the first vector's, lane 1 the second's
    __m128d y;
    __m128d z;
};

VectorPair PairOf(const Vector3& first, const Vector3& second) {
    return {_mm_set_pd(second.x, first.x), _mm_set_pd(second.y, first.y),
            _mm_set_pd(second.z, first.z)};
}

// Normalized of both vectors of the pair.
void StoreNormalized(const VectorPair& pair, Vector3& first, Vector3& second) {
    const __m128d length =
        _mm_sqrt_pd(_mm_add_pd(_mm_add_pd(_mm_mul_pd(pair.x, pair.x), _mm_mul_pd(pair.y, pair.y)),
                               _mm_mul_pd(pair.z, pair.z)));
    // Lanes whose length is positive and finite (never a NaN one); the others give zero.
    const __m128d usable =
        _mm_and_pd(_mm_cmpgt_pd(length, _mm_setzero_pd()),
                   _mm_cmplt_pd(length, _mm_set1_pd(std::numeric_limits<double>::infinity())));
    float x[4];
    float y[4];
    float z[4];
    _mm_storeu_ps(x, _mm_cvtpd_ps(_mm_and_pd(usable, _mm_div_pd(pair.x, length))));
    _mm_storeu_ps(y, _mm_cvtpd_ps(_mm_and_pd(usable, _mm_div_pd(pair.y, length))));
    _mm_storeu_ps(z, _mm_cvtpd_ps(_mm_and_pd(usable, _mm_div_pd(pair.z, length))));
    first = {x[0], y[0], z[0]};
    second = {x[1], y[1], z[1]};
}

// Normalized for every vector, two at a time.
[[gnu::noinline]] void NormalizeAll(Vector3* vectors, std::size_t count) {
    std::size_t i = 0;
    for (; i + 1 < count; i += 2) {
        StoreNormalized(PairOf(vectors[i], vectors[i + 1]), vectors[i], vectors[i + 1]);
    }
    if (i < count) {
        vectors[i] = Normalized(vectors[i]);
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

// Turns each sum into the mean: sum / count in double, rounded to float, for two
// vertices at a time. A vertex that no triangle uses keeps (0, 0, 0): its sum is zero,
// divided by 1 here as a single term is (exactly).
[[gnu::noinline]] void DivideSumsByCounts(std::vector<VertexSum>& sums) {
    const auto divisor = [](const VertexSum& sum) {
        return static_cast<double>(static_cast<float>(std::max<std::uint32_t>(sum.count, 1)));
    };
    for (std::size_t v = 0; v < sums.size(); v += 2) {
        VertexSum& first = sums[v];
        VertexSum& second = v + 1 < sums.size() ? sums[v + 1] : sums[v];
        const VectorPair pair = PairOf({first.x, first.y, first.z}, {second.x, second.y, second.z});
        const __m128d counts = _mm_set_pd(divisor(second), divisor(first));
        float x[4];
        float y[4];
        float z[4];
        _mm_storeu_ps(x, _mm_cvtpd_ps(_mm_div_pd(pair.x, counts)));
        _mm_storeu_ps(y, _mm_cvtpd_ps(_mm_div_pd(pair.y, counts)));
        _mm_storeu_ps(z, _mm_cvtpd_ps(_mm_div_pd(pair.z, counts)));
        first = {x[0], y[0], z[0], first.count};
        second = {x[1], y[1], z[1], second.count};
    }
}

// Each mean at unit length into its vertex; a mean of zero length (as the mean of a
// vertex no triangle uses is) gives DefaultVertexNormal.
[[gnu::noinline]] void StoreVertexNormals(const std::vector<VertexSum>& means,
                                          std::vector<ExportVertex>& vertices) {
    const auto store = [](const Vector3& unit, ExportVertex& vertex) {
        const Vector3& normal = IsZero(unit) ? DefaultVertexNormal : unit;
        vertex.normal[0] = normal.x;
        vertex.normal[1] = normal.y;
        vertex.normal[2] = normal.z;
    };
    for (std::size_t v = 0; v < vertices.size(); v += 2) {
        const VertexSum& first = means[v];
        const VertexSum& second = v + 1 < vertices.size() ? means[v + 1] : means[v];
        Vector3 units[2];
        StoreNormalized(PairOf({first.x, first.y, first.z}, {second.x, second.y, second.z}),
                        units[0], units[1]);
        store(units[0], vertices[v]);
        if (v + 1 < vertices.size()) {
            store(units[1], vertices[v + 1]);
        }
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

    // Face normals; triangles with a corner outside the array keep (0, 0, 0).
    std::vector<Vector3> faceNormals(triangleCount);
    for (std::size_t t = 0; t < triangleCount; ++t) {
        const std::uint16_t* corners = &triangles[3 * t];
        if (CornersInRange(corners, vertexCount)) {
            faceNormals[t] =
                CrossProduct(vertices[corners[0]].position, vertices[corners[1]].position,
                             vertices[corners[2]].position);
        }
    }
    NormalizeAll(faceNormals.data(), faceNormals.size());

    // Vertex normals: one pass over the triangles in ascending order sums each vertex's
    // face normals in single precision; then the mean, then unit length. Linear in the
    // mesh size, where testing every triangle for every vertex is not.
    std::vector<VertexSum> sums(vertexCount);
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
