#include "mesh/format_limits.h"

#include <emmintrin.h>
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace cmp {

namespace {

std::string Quoted(const ExportMesh& mesh) {
    std::string quoted = "\"";
    quoted += mesh.meshName;
    quoted += '"';
    return quoted;
}

// Totals of the meshes that go into the stream, and the mesh at which each total first
// passes its limit, so the message can point at it.
struct StreamTotals {
    std::int64_t meshes = 0;
    std::int64_t indices = 0;
    std::int64_t vertices = 0;
    const ExportMesh* firstPastMeshes = nullptr;
    const ExportMesh* firstPastIndices = nullptr;
    const ExportMesh* firstPastVertices = nullptr;
};

StreamTotals SumStreamTotals(const MeshList& meshes) {
    StreamTotals totals;
    for (const ExportMesh& mesh : meshes) {
        if (mesh.isHardpoint) {
            continue;
        }
        totals.meshes += 1;
        totals.indices += 3 * static_cast<std::int64_t>(mesh.triangles.size() / 3);
        totals.vertices += static_cast<std::int64_t>(mesh.vertices.size());
        if (totals.meshes > MaxStreamMeshes && totals.firstPastMeshes == nullptr) {
            totals.firstPastMeshes = &mesh;
        }
        if (totals.indices > MaxStreamIndices && totals.firstPastIndices == nullptr) {
            totals.firstPastIndices = &mesh;
        }
        if (totals.vertices > MaxStreamVertices && totals.firstPastVertices == nullptr) {
            totals.firstPastVertices = &mesh;
        }
    }
    return totals;
}

void CheckTotals(const MeshList& meshes, std::vector<std::string>& problems) {
    const StreamTotals totals = SumStreamTotals(meshes);
    if (totals.firstPastMeshes != nullptr) {
        problems.push_back("the model has " + std::to_string(totals.meshes) +
                           " meshes besides hardpoints (from mesh " +
                           Quoted(*totals.firstPastMeshes) + " on, too many); at most " +
                           std::to_string(MaxStreamMeshes) + " fit");
    }
    if (totals.firstPastIndices != nullptr) {
        problems.push_back("the model's meshes have " + std::to_string(totals.indices / 3) +
                           " triangles in all (" + std::to_string(totals.indices) +
                           " corners; mesh " + Quoted(*totals.firstPastIndices) +
                           " passes the limit); at most " + std::to_string(MaxStreamIndices / 3) +
                           " triangles (" + std::to_string(MaxStreamIndices) + " corners) fit");
    }
    if (totals.firstPastVertices != nullptr) {
        problems.push_back("the model's meshes have " + std::to_string(totals.vertices) +
                           " vertices in all (mesh " + Quoted(*totals.firstPastVertices) +
                           " passes the limit); at most " + std::to_string(MaxStreamVertices) +
                           " fit");
    }
}

// Whether some corner names a vertex at or past `vertexCount`: eight corners at a time,
// with no branch per corner (the common case: every corner is in range).
bool MayHaveCornersPast(const std::vector<std::uint16_t>& corners, std::size_t vertexCount) {
    if (vertexCount > std::numeric_limits<std::uint16_t>::max()) {
        return false;  // no 16-bit corner reaches it
    }
    if (vertexCount == 0) {
        return !corners.empty();
    }
    // A corner past the last vertex is one that stays above 0 when the last vertex's
    // index is taken from it with unsigned saturation.
    const auto last = static_cast<std::uint16_t>(vertexCount - 1);
    const __m128i lasts = _mm_set1_epi16(static_cast<short>(last));
    __m128i past = _mm_setzero_si128();
    std::size_t k = 0;
    for (; k + 8 <= corners.size(); k += 8) {
        const __m128i eight = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&corners[k]));
        past = _mm_or_si128(past, _mm_subs_epu16(eight, lasts));
    }
    std::uint16_t rest = 0;
    for (; k < corners.size(); ++k) {
        rest |= corners[k] > last ? 1 : 0;
    }
    return rest != 0 || _mm_movemask_epi8(_mm_cmpeq_epi8(past, _mm_setzero_si128())) != 0xFFFF;
}

void CheckCorners(const ExportMesh& mesh, std::vector<std::string>& problems) {
    const std::size_t vertexCount = mesh.vertices.size();
    if (!MayHaveCornersPast(mesh.triangles, vertexCount)) {
        return;
    }
    for (std::size_t k = 0; k < mesh.triangles.size(); ++k) {
        if (mesh.triangles[k] >= vertexCount) {
            problems.push_back("mesh " + Quoted(mesh) + " uses vertex " +
                               std::to_string(mesh.triangles[k]) + " but has " +
                               std::to_string(vertexCount) + " vertices (triangle " +
                               std::to_string(k / 3) + ")");
            return;  // one line per mesh is enough to find it
        }
    }
}

// Whether some position or texture coordinate may be an infinity or a NaN: one pass
// without a branch per value (the common case: every value finite), before the pass that
// finds the first vertex at fault. A vertex is two sets of four floats: the position and
// the normal's x, then the normal's y and z and the texture coordinates. Adding one to a
// float's exponent field carries into the sign bit only when the field is all ones.
bool MayHaveNonFiniteValues(const std::vector<ExportVertex>& vertices) {
    static_assert(offsetof(ExportVertex, normal) == 12 && offsetof(ExportVertex, u) == 24);
    const __m128i exponent = _mm_set1_epi32(0x7F800000);
    const __m128i exponentOne = _mm_set1_epi32(0x00800000);
    __m128i front = _mm_setzero_si128();
    __m128i back = _mm_setzero_si128();
    for (const ExportVertex& vertex : vertices) {
        const auto* lanes = reinterpret_cast<const __m128i*>(&vertex);
        front = _mm_or_si128(
            front, _mm_add_epi32(_mm_and_si128(_mm_loadu_si128(lanes), exponent), exponentOne));
        back = _mm_or_si128(
            back, _mm_add_epi32(_mm_and_si128(_mm_loadu_si128(lanes + 1), exponent), exponentOne));
    }
    // The sign bits of x, y, z in front and of u, v in back; the normal's lanes are left.
    const int signs = _mm_movemask_ps(_mm_castsi128_ps(front)) & 0x7;
    return signs != 0 || (_mm_movemask_ps(_mm_castsi128_ps(back)) & 0xC) != 0;
}

void CheckFiniteValues(const ExportMesh& mesh, std::vector<std::string>& problems) {
    if (!MayHaveNonFiniteValues(mesh.vertices)) {
        return;
    }
    for (std::size_t j = 0; j < mesh.vertices.size(); ++j) {
        if (!HasFiniteValues(mesh.vertices[j])) {
            problems.push_back("mesh " + Quoted(mesh) +
                               " has a position or texture coordinate "
                               "that is not a finite number (vertex " +
                               std::to_string(j) + ")");
            return;
        }
    }
}

std::string JoinProblems(const std::vector<std::string>& problems) {
    std::string message;
    const std::size_t listed = std::min(problems.size(), MaxListedProblems);
    for (std::size_t i = 0; i < listed; ++i) {
        message += (i == 0 ? "" : "\n") + problems[i];
    }
    if (problems.size() > listed) {
        message += "\nand " + std::to_string(problems.size() - listed) + " more problems";
    }
    return message;
}

}  // namespace

Status CheckFormatLimits(const MeshList& meshes) {
    std::vector<std::string> problems;
    CheckTotals(meshes, problems);
    for (const ExportMesh& mesh : meshes) {
        CheckCorners(mesh, problems);
        CheckFiniteValues(mesh, problems);
    }
    if (problems.empty()) {
        return Status::Ok();
    }
    return Error{ErrorCode::ModelRefused, JoinProblems(problems)};
}

}  // namespace cmp
