#include "mesh/normals.h"

#include <emmintrin.h>
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>

namespace cmp {

// Bit-exactness and GCC 12: its SLP vectorizer, given a value narrowed to float and then
// widened again within one function, can go on with the unrounded double and so change
// the last bit. Every narrowing here is therefore either stored, with the code that
// widens it again in a separate function kept out of line ([[gnu::noinline]]), which has
// to read the rounded float back from memory, or done by explicit SSE2 conversions, which
// are carried out as written.

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

// Two vectors side by side in SSE2 doubles (which both targets have): each lane does
// exactly the operations of the computation for one vector, with the same IEEE
// rounding, so it holds the bits that computation gives. The square roots and divisions
// dominate the normals' time, and two lanes cost about what one does.
using Doubles = __m128d;

struct VectorPair {
    Doubles x;
    Doubles y;
    Doubles z;
};

Doubles Widened(float first, float second) {
    return _mm_setr_pd(first, second);
}

// Each lane rounded to float and widened again, as a float variable in between would be.
Doubles RoundedToFloat(Doubles lanes) {
    return _mm_cvtps_pd(_mm_cvtpd_ps(lanes));
}

// Normalized, lane by lane. `usable` gets all ones in each lane whose length is above 0
// and finite; the other lanes come out (0, 0, 0). Such a lane is divided by 1 instead of
// its length, so that it raises no floating-point exception the single computation, which
// does not divide then, would not.
[[gnu::always_inline]] inline VectorPair NormalizedPair(const VectorPair& v, Doubles& usable) {
    const Doubles length = _mm_sqrt_pd(
        _mm_add_pd(_mm_add_pd(_mm_mul_pd(v.x, v.x), _mm_mul_pd(v.y, v.y)), _mm_mul_pd(v.z, v.z)));
    usable = _mm_and_pd(_mm_cmpgt_pd(length, _mm_setzero_pd()),
                        _mm_cmplt_pd(length, _mm_set1_pd(std::numeric_limits<double>::infinity())));
    const Doubles divisor =
        _mm_or_pd(_mm_and_pd(usable, length), _mm_andnot_pd(usable, _mm_set1_pd(1.0)));
    return {_mm_and_pd(usable, _mm_div_pd(v.x, divisor)),
            _mm_and_pd(usable, _mm_div_pd(v.y, divisor)),
            _mm_and_pd(usable, _mm_div_pd(v.z, divisor))};
}

// The two lanes rounded to float, into `first` and `second`.
void StorePair(const VectorPair& v, float* first, float* second) {
    const __m128 xy = _mm_unpacklo_ps(_mm_cvtpd_ps(v.x), _mm_cvtpd_ps(v.y));  // x0 y0 x1 y1
    const __m128 z = _mm_cvtpd_ps(v.z);
    _mm_storel_pi(reinterpret_cast<__m64*>(first), xy);
    _mm_storeh_pi(reinterpret_cast<__m64*>(second), xy);
    first[2] = _mm_cvtss_f32(z);
    second[2] = _mm_cvtss_f32(_mm_shuffle_ps(z, z, 1));
}

// One pass over the whole array, two vectors at a time.
[[gnu::noinline]] void NormalizeFaceNormals(std::vector<Vector3>& faceNormals) {
    std::size_t i = 0;
    for (; i + 2 <= faceNormals.size(); i += 2) {
        Vector3& a = faceNormals[i];
        Vector3& b = faceNormals[i + 1];
        Doubles usable;
        const VectorPair unit =
            NormalizedPair({Widened(a.x, b.x), Widened(a.y, b.y), Widened(a.z, b.z)}, usable);
        StorePair(unit, &a.x, &b.x);
    }
    if (i < faceNormals.size()) {
        faceNormals[i] = Normalized(faceNormals[i]);
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

// The number of terms as the divisor of a mean: through float, as the count of a sum of
// floats. A vertex with no term is divided by 1 (its result is never stored).
double CountDivisor(std::uint32_t count) {
    return static_cast<float>(std::max(count, std::uint32_t{1}));
}

// Vertex v's normal from sums[v], two vertices at a time: the mean (sum / count in
// double, rounded to float; a single term is its own mean, as dividing by 1 is exact),
// then at unit length; a mean of zero length gives DefaultVertexNormal. A vertex no
// triangle uses is not touched.
[[gnu::noinline]] void StoreVertexNormals(const std::vector<VertexSum>& sums,
                                          std::vector<ExportVertex>& vertices) {
    static_assert(DefaultVertexNormal.x == 0.0f && DefaultVertexNormal.z == 0.0f);
    for (std::size_t v = 0; v < sums.size(); v += 2) {
        const bool hasSecond = v + 1 < sums.size();
        const VertexSum& a = sums[v];
        const VertexSum& b = hasSecond ? sums[v + 1] : a;
        const bool storesFirst = a.count != 0;
        const bool storesSecond = hasSecond && b.count != 0;
        if (!storesFirst && !storesSecond) {
            continue;
        }
        const Doubles counts = _mm_setr_pd(CountDivisor(a.count), CountDivisor(b.count));
        const VectorPair mean = {RoundedToFloat(_mm_div_pd(Widened(a.x, b.x), counts)),
                                 RoundedToFloat(_mm_div_pd(Widened(a.y, b.y), counts)),
                                 RoundedToFloat(_mm_div_pd(Widened(a.z, b.z), counts))};
        Doubles usable;
        VectorPair unit = NormalizedPair(mean, usable);
        // A mean of zero or no finite length comes out (0, 0, 0), and no other does (its
        // largest component keeps more than half of the length): those become the
        // default, whose x and z are 0.
        unit.y = _mm_or_pd(unit.y, _mm_andnot_pd(usable, _mm_set1_pd(DefaultVertexNormal.y)));
        float first[3];
        float second[3];
        StorePair(unit, first, second);
        if (storesFirst) {
            std::copy(first, first + 3, vertices[v].normal);
        }
        if (storesSecond) {
            std::copy(second, second + 3, vertices[v + 1].normal);
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
    StoreVertexNormals(sums, vertices);
    return faceNormals;
}

}  // namespace cmp
