// Every operation on positions and orientations here fixes the precision and order of
// its arithmetic, because the results are stored bit for bit in the file.
#include "tree/tree.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <utility>

#include "core/little_endian.h"
#include "core/text.h"

namespace cmp {

namespace {

// Character positions of the kind and of the node name inside a mesh name.
constexpr std::size_t KindStart = 3;
constexpr std::size_t FixedNameStart = 9;
constexpr std::size_t RevoluteNameStart = 12;

constexpr float OneThird = 0.333333343f;  // bits 0x3EAAAAAB
constexpr double PoleLimit = 0.99999;
constexpr std::array<float, 9> Identity = {1.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 1.0f};

constexpr std::uint32_t MaxAngleBits = 0x3F490EAA;  // 0.78538
constexpr std::uint32_t MinAngleBits = 0xBF490FF9;  // -0.7854

// Engines, mounts and thrusters keep the model's own axes: their orientation is the
// identity and needs no face.
bool KeepsModelAxes(const std::string& name) {
    for (const char* prefix : {"HpEngine", "HpMount", "HpThruster"}) {
        if (StartsWithIgnoringAsciiCase(name, prefix)) {
            return true;
        }
    }
    return false;
}

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

// A leaf of little-endian reals.
template <std::size_t N>
Bytes FloatPayload(const std::array<float, N>& values) {
    Bytes bytes(4 * N);
    for (std::size_t i = 0; i < N; ++i) {
        StoreF32(&bytes[4 * i], values[i]);
    }
    return bytes;
}

// "Max" and "Min": one real, then four zero bytes.
Bytes LimitPayload(std::uint32_t bits) {
    Bytes bytes(8, 0);
    StoreU32(bytes.data(), bits);
    return bytes;
}

void InsertLeaf(NodeTree& tree, NodeHandle parent, const char* name, Bytes payload) {
    tree.SetPayload(tree.InsertNode(parent, name), std::move(payload));
}

}  // namespace

std::optional<HardpointName> ReadHardpointName(const ExportMesh& mesh) {
    if (!mesh.isHardpoint) {
        return std::nullopt;
    }
    const std::string_view meshName = MeshNameOf(mesh);
    // A name too short to reach the kind leaves nothing to compare, which no kind begins.
    const std::string_view fromKind = meshName.substr(std::min(KindStart, meshName.size()));
    HardpointKind kind;
    std::size_t nameStart;
    if (StartsWithIgnoringAsciiCase(fromKind, "Fixed")) {
        kind = HardpointKind::Fixed;
        nameStart = FixedNameStart;
    } else if (StartsWithIgnoringAsciiCase(fromKind, "Revolute")) {
        kind = HardpointKind::Revolute;
        nameStart = RevoluteNameStart;
    } else {
        return std::nullopt;
    }
    return HardpointName{kind, std::string(meshName.substr(std::min(nameStart, meshName.size())))};
}

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

std::array<float, 9> OrientationFromFace(const CandidateFace* nearest) {
    return nearest ? OrientationFromNormal(nearest->normal) : Identity;
}

std::vector<Hardpoint> ReadHardpoints(const MeshList& meshes) {
    std::vector<Hardpoint> hardpoints;
    std::size_t searches = 0;
    for (const ExportMesh& mesh : meshes) {
        if (std::optional<HardpointName> read = ReadHardpointName(mesh)) {
            searches += KeepsModelAxes(read->name) ? 0 : 1;
            hardpoints.push_back(
                {read->kind, std::move(read->name), HardpointPosition(mesh), Identity});
        }
    }
    if (searches == 0) {
        return hardpoints;
    }
    // The faces are gathered and indexed once for the whole branch, knowing how many
    // searches follow (a few only scan).
    const std::vector<CandidateFace> faces = CandidateFaces(meshes);
    const NearestFaceIndex index(faces, searches);
    const CandidateFace* lastFound = nullptr;  // where the next search starts looking
    for (Hardpoint& hardpoint : hardpoints) {
        if (!KeepsModelAxes(hardpoint.name)) {
            lastFound = index.FindNearest(hardpoint.position, lastFound);
            hardpoint.orientation = OrientationFromFace(lastFound);
        }
    }
    return hardpoints;
}

void AddHardpoints(NodeTree& tree, NodeHandle hardpoints, const MeshList& meshes) {
    const NodeHandle fixed = tree.InsertNode(hardpoints, "Fixed");
    const NodeHandle revolute = tree.InsertNode(hardpoints, "Revolute");
    for (Hardpoint& hardpoint : ReadHardpoints(meshes)) {
        const bool isRevolute = hardpoint.kind == HardpointKind::Revolute;
        const NodeHandle node =
            tree.InsertNode(isRevolute ? revolute : fixed, std::move(hardpoint.name));
        if (isRevolute) {
            InsertLeaf(tree, node, "Axis", FloatPayload(std::array<float, 3>{0.0f, 1.0f, 0.0f}));
            InsertLeaf(tree, node, "Max", LimitPayload(MaxAngleBits));
            InsertLeaf(tree, node, "Min", LimitPayload(MinAngleBits));
        }
        InsertLeaf(tree, node, "Orientation", FloatPayload(hardpoint.orientation));
        const Vector3& p = hardpoint.position;
        InsertLeaf(tree, node, "Position", FloatPayload(std::array<float, 3>{p.x, p.y, p.z}));
    }
}

}  // namespace cmp
