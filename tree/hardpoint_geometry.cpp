// Position and orientation of hardpoints. Every operation here fixes the precision and
// order of its arithmetic, because the results are stored bit for bit in the file.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstring>

#include "core/text.h"
#include "tree/hardpoints.h"
#include "tree/nearest_face.h"

namespace cmp {

namespace {

constexpr float OneThird = 0.333333343f;  // bits 0x3EAAAAAB
constexpr double PoleLimit = 0.99999;

constexpr std::array<float, 9> Identity = {1.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 1.0f};

Vector3 PositionOf(const ExportVertex& vertex) {
    return {vertex.position[0], vertex.position[1], vertex.position[2]};
}

// (a + b) + c, rounded to float at each step, times the float nearest one third.
Vector3 Centre(const Vector3& a, const Vector3& b, const Vector3& c) {
    return {(a.x + b.x + c.x) * OneThird, (a.y + b.y + c.y) * OneThird,
            (a.z + b.z + c.z) * OneThird};
}

bool IsZero(const Vector3& v) {
    return v.x == 0.0f && v.y == 0.0f && v.z == 0.0f;
}

// Middle row: the normal with x negated. Away from the poles the first row is that row
// crossed with +Z; near them, the last row is +X crossed with it. The outer rows are
// left unnormalised, and every negation is a sign change (so -0.0 where a zero is
// negated).
std::array<float, 9> OrientationFromNormal(const Vector3& n) {
    if (-PoleLimit < n.z && n.z < PoleLimit) {
        return {n.y, n.x, 0.0f, -n.x, n.y, n.z, n.x * n.z, -(n.y * n.z), n.x * n.x + n.y * n.y};
    }
    return {n.y * n.y + n.z * n.z, n.x * n.y, n.x * n.z, -n.x, n.y, n.z, 0.0f, -n.z, n.y};
}

}  // namespace

Vector3 HardpointPosition(const ExportMesh& mesh) {
    const std::size_t count = mesh.vertices.size();
    if (count >= 3) {
        return Centre(PositionOf(mesh.vertices[0]), PositionOf(mesh.vertices[1]),
                      PositionOf(mesh.vertices[2]));
    }
    if (count == 0) {
        return {};
    }
    Vector3 sum = PositionOf(mesh.vertices[0]);
    if (count == 2) {
        const Vector3 second = PositionOf(mesh.vertices[1]);
        sum = {sum.x + second.x, sum.y + second.y, sum.z + second.z};
    }
    const float reciprocal = count == 2 ? 0.5f : 1.0f;
    return {sum.x * reciprocal, sum.y * reciprocal, sum.z * reciprocal};
}

std::vector<CandidateFace> CandidateFaces(const MeshList& meshes) {
    std::size_t triangles = 0;
    for (const ExportMesh& mesh : meshes) {
        triangles += mesh.isHardpoint ? 0 : mesh.GetTriangleCount();
    }
    std::vector<CandidateFace> faces;
    faces.reserve(triangles);
    for (const ExportMesh& mesh : meshes) {
        if (mesh.isHardpoint) {
            continue;
        }
        const std::size_t vertexCount = mesh.vertices.size();
        // A record whose normals were never generated has no face to offer.
        const std::size_t triangleCount =
            std::min(mesh.GetTriangleCount(), mesh.faceNormals.size());
        for (std::size_t t = 0; t < triangleCount; ++t) {
            const std::uint16_t* corners = &mesh.triangles[3 * t];
            if (corners[0] >= vertexCount || corners[1] >= vertexCount ||
                corners[2] >= vertexCount || IsZero(mesh.faceNormals[t])) {
                continue;
            }
            faces.push_back({Centre(PositionOf(mesh.vertices[corners[0]]),
                                    PositionOf(mesh.vertices[corners[1]]),
                                    PositionOf(mesh.vertices[corners[2]])),
                             mesh.faceNormals[t]});
        }
    }
    return faces;
}

const CandidateFace* ScanForNearestCandidate(const std::vector<CandidateFace>& faces,
                                             const Vector3& position) {
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

bool KeepsModelAxes(const std::string& hardpointName) {
    for (const char* prefix : {"HpEngine", "HpMount", "HpThruster"}) {
        if (StartsWithIgnoringAsciiCase(hardpointName, prefix)) {
            return true;
        }
    }
    return false;
}

std::array<float, 9> OrientationFromFace(const CandidateFace* nearest) {
    return nearest ? OrientationFromNormal(nearest->normal) : Identity;
}

std::array<float, 9> HardpointOrientation(const MeshList& meshes, const Vector3& position,
                                          const std::string& hardpointName) {
    if (KeepsModelAxes(hardpointName)) {
        return Identity;
    }
    // One search: scanning costs less than building an index.
    const std::vector<CandidateFace> faces = CandidateFaces(meshes);
    return OrientationFromFace(ScanForNearestCandidate(faces, position));
}

}  // namespace cmp
