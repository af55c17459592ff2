#include "tree/hardpoints.h"

#include <cstdint>
#include <memory>

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

// Sized once: a hardpoint has up to five such leaves, and appending field by field
// would reallocate each several times.
Bytes FloatPayload(const float* values, std::size_t count) {
    Bytes bytes(4 * count);
    for (std::size_t i = 0; i < count; ++i) {
        StoreF32(bytes.data() + 4 * i, values[i]);
    }
    return bytes;
}

// "Max" and "Min": one real, then four zero bytes.
Bytes LimitPayload(std::uint32_t bits) {
    Bytes bytes(8);
    StoreU32(bytes.data(), bits);
    return bytes;
}

// Whether the hardpoint `mesh` names needs the nearest-face search.
bool SearchesForAFace(const ExportMesh& mesh) {
    const std::optional<HardpointName> parsed = ParseHardpointName(MeshNameOf(mesh));
    return parsed && !KeepsModelAxes(parsed->name);
}

// How many meshes in [from, to) need the search, counted no further than `limit`.
std::size_t CountSearches(MeshList::const_iterator from, MeshList::const_iterator to,
                          std::size_t limit) {
    std::size_t count = 0;
    for (; from != to && count < limit; ++from) {
        count += SearchesForAFace(*from) ? 1 : 0;
    }
    return count;
}

void InsertLeaf(NodeTree& tree, NodeHandle parent, const char* name, Bytes payload) {
    tree.SetPayload(tree.InsertNode(parent, name), std::move(payload));
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
    // The faces are gathered and indexed at the first hardpoint that needs them, once
    // for the whole branch: a model without such hardpoints never pays for them. The
    // index is made for the searches that follow (a few only scan).
    std::vector<CandidateFace> faces;
    std::optional<NearestFaceIndex> faceIndex;
    const CandidateFace* lastFound = nullptr;  // where the next search starts looking
    for (auto at = meshes.begin(); at != meshes.end(); ++at) {
        const ExportMesh& mesh = *at;
        const std::optional<HardpointName> parsed = ParseHardpointName(MeshNameOf(mesh));
        if (!parsed) {
            continue;
        }
        const bool isRevolute = parsed->kind == HardpointKind::Revolute;
        const NodeHandle node = tree.InsertNode(isRevolute ? revolute : fixed, parsed->name);
        if (isRevolute) {
            const float axis[3] = {0.0f, 1.0f, 0.0f};
            InsertLeaf(tree, node, "Axis", FloatPayload(axis, 3));
            InsertLeaf(tree, node, "Max", LimitPayload(MaxAngleBits));
            InsertLeaf(tree, node, "Min", LimitPayload(MinAngleBits));
        }
        const Vector3 position = HardpointPosition(mesh);
        std::array<float, 9> orientation = OrientationFromFace(nullptr);
        if (!KeepsModelAxes(parsed->name)) {
            if (!faceIndex) {
                faces = CandidateFaces(meshes);
                faceIndex.emplace(
                    faces, CountSearches(at, meshes.end(), NearestFaceIndex::SearchesWorthSorting));
            }
            lastFound = faceIndex->FindNearest(position, lastFound);
            orientation = OrientationFromFace(lastFound);
        }
        InsertLeaf(tree, node, "Orientation", FloatPayload(orientation.data(), orientation.size()));
        const float coordinates[3] = {position.x, position.y, position.z};
        InsertLeaf(tree, node, "Position", FloatPayload(coordinates, 3));
    }
}

}  // namespace cmp
