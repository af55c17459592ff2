#include "tree/hardpoints.h"

#include <array>
#include <cstdint>
#include <span>
#include <utility>

#include "core/little_endian.h"
#include "core/text.h"
#include "mesh/hardpoint_name.h"
#include "tree/mesh_name.h"
#include "tree/nearest_face.h"
#include "tree/nearest_face_index.h"

namespace cmp {

namespace {

// Character positions of the kind and of the hardpoint name inside a mesh name.
constexpr std::size_t KindStart = 3;
constexpr std::size_t FixedNameStart = 9;
constexpr std::size_t RevoluteNameStart = 12;

constexpr std::uint32_t MaxAngleBits = 0x3F490EAA;  // 0.78538
constexpr std::uint32_t MinAngleBits = 0xBF490FF9;  // -0.7854

// Case-blind comparison of `word` with the characters of `text` from `start`, stopping at
// the text's end like a counted string compare would.
bool MatchesAt(std::string_view text, std::size_t start, std::string_view word) {
    if (start + word.size() > text.size()) {
        return false;
    }
    for (std::size_t i = 0; i < word.size(); ++i) {
        if (FoldAsciiCase(text[start + i]) != FoldAsciiCase(word[i])) {
            return false;
        }
    }
    return true;
}

// A leaf's bytes are built on the stack and copied into the tree's own blocks: a
// hardpoint has up to five such leaves, and a vector for each would be an allocation
// and a free of its own.
template <std::size_t N>
std::array<std::uint8_t, 4 * N> FloatPayload(const std::array<float, N>& values) {
    std::array<std::uint8_t, 4 * N> bytes;
    for (std::size_t i = 0; i < N; ++i) {
        StoreF32(bytes.data() + 4 * i, values[i]);
    }
    return bytes;
}

// "Max" and "Min": one real, then four zero bytes.
std::array<std::uint8_t, 8> LimitPayload(std::uint32_t bits) {
    std::array<std::uint8_t, 8> bytes{};
    StoreU32(bytes.data(), bits);
    return bytes;
}

// One hardpoint mesh as the branch writes it.
struct Hardpoint {
    HardpointName name;
    Vector3 position;
    bool searches;                           // for the nearest face
    const CandidateFace* nearest = nullptr;  // what the search found
};

// The hardpoints of the list in its order, with the nearest faces of those that need
// one. The faces are gathered and indexed only when some hardpoint needs them, once for
// the whole branch, and all searches run together, before any node is made: the index
// then stays in the cache, and it is built knowing how many searches follow (a few only
// scan). `faces` keeps the faces the hardpoints point to.
std::vector<Hardpoint> ReadHardpoints(const MeshList& meshes, std::vector<CandidateFace>& faces) {
    std::vector<Hardpoint> hardpoints;
    std::size_t searches = 0;
    for (const ExportMesh& mesh : meshes) {
        if (std::optional<HardpointName> parsed = ParseHardpointName(MeshNameOf(mesh))) {
            const bool searchesForAFace = !KeepsModelAxes(parsed->name);
            hardpoints.push_back({std::move(*parsed), HardpointPosition(mesh), searchesForAFace});
            searches += searchesForAFace ? 1 : 0;
        }
    }
    if (searches == 0) {
        return hardpoints;
    }
    faces = CandidateFaces(meshes);
    const NearestFaceIndex index(faces, searches);
    const CandidateFace* lastFound = nullptr;  // where the next search starts looking
    for (Hardpoint& hardpoint : hardpoints) {
        if (hardpoint.searches) {
            lastFound = index.FindNearest(hardpoint.position, lastFound);
            hardpoint.nearest = lastFound;
        }
    }
    return hardpoints;
}

void InsertLeaf(NodeTree& tree, NodeHandle parent, const char* name,
                std::span<const std::uint8_t> payload) {
    tree.SetPayload(tree.InsertNode(parent, name), payload);
}

}  // namespace

std::optional<HardpointName> ParseHardpointName(const char* meshName) {
    return meshName ? ParseHardpointName(std::string_view(meshName)) : std::nullopt;
}

std::optional<HardpointName> ParseHardpointName(std::string_view meshName) {
    if (!IsHardpointName(meshName)) {
        return std::nullopt;
    }
    HardpointKind kind;
    std::size_t nameStart;
    if (MatchesAt(meshName, KindStart, "Fixed")) {
        kind = HardpointKind::Fixed;
        nameStart = FixedNameStart;
    } else if (MatchesAt(meshName, KindStart, "Revolute")) {
        kind = HardpointKind::Revolute;
        nameStart = RevoluteNameStart;
    } else {
        return std::nullopt;
    }
    return HardpointName{kind, std::string(meshName.substr(std::min(nameStart, meshName.size())))};
}

void AddHardpoints(NodeTree& tree, NodeHandle hardpoints, const MeshList& meshes) {
    const NodeHandle fixed = tree.InsertNode(hardpoints, "Fixed");
    const NodeHandle revolute = tree.InsertNode(hardpoints, "Revolute");
    std::vector<CandidateFace> faces;
    for (Hardpoint& hardpoint : ReadHardpoints(meshes, faces)) {
        const bool isRevolute = hardpoint.name.kind == HardpointKind::Revolute;
        const NodeHandle node =
            tree.InsertNode(isRevolute ? revolute : fixed, std::move(hardpoint.name.name));
        if (isRevolute) {
            InsertLeaf(tree, node, "Axis", FloatPayload(std::array<float, 3>{0.0f, 1.0f, 0.0f}));
            InsertLeaf(tree, node, "Max", LimitPayload(MaxAngleBits));
            InsertLeaf(tree, node, "Min", LimitPayload(MinAngleBits));
        }
        // The identity for a hardpoint that keeps the model's axes or found no face.
        const std::array<float, 9> orientation = OrientationFromFace(hardpoint.nearest);
        InsertLeaf(tree, node, "Orientation", FloatPayload(orientation));
        const Vector3& position = hardpoint.position;
        InsertLeaf(tree, node, "Position",
                   FloatPayload(std::array<float, 3>{position.x, position.y, position.z}));
    }
}

}  // namespace cmp
