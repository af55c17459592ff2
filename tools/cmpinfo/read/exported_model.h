// The model a tree file holds, read back as geometry: the meshes its mesh references
// use, with their vertices and triangles as stored, and its hardpoints. The picture and
// the glTF are drawn from this, never from the bytes directly. A stream that many
// references use is held once, so that the model grows with the file, not with the
// references in it.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/error.h"
#include "tree/tree.h"

namespace cmp {

// One vertex record of the mesh data stream, exactly as stored (the file's axes: Y and
// Z negated, scaled down from the modeller's units).
struct StoredVertex {
    std::array<float, 3> position{};
    std::array<float, 3> normal{};
    std::array<float, 2> uv{};
};

struct StoredMesh {
    std::size_t entry = 0;           // the library entry that holds it: StoredModel::entries
    std::uint16_t indexInEntry = 0;  // its place in that entry's stream
    std::uint32_t material = 0;      // the material identifier; the name is not kept
    std::vector<StoredVertex> vertices;
    std::vector<std::uint16_t> indices;  // three per triangle, local to the mesh
};

// The kind is the exporter's own HardpointKind (tree/tree.h).
struct StoredHardpoint {
    std::string name;  // as stored, or cut: see ReadStoredModel
    HardpointKind kind = HardpointKind::Fixed;
    std::array<float, 9> orientation{1, 0, 0, 0, 1, 0, 0, 0, 1};  // three rows
    std::array<float, 3> position{};
    // Revolute hardpoints only, when the file holds them.
    std::array<float, 3> axis{};
    float min = 0;
    float max = 0;
};

// One "VMeshRef": the library entry whose meshes it shows (StoredModel::entries), all
// of them, where they are stored.
struct StoredReference {
    std::size_t entry = 0;
};

struct StoredModel {
    // The names of the library entries that references use, in the order first used.
    std::vector<std::string> entries;
    // Every mesh of those entries' streams, each once: entry by entry, in stream order.
    std::vector<StoredMesh> meshes;
    // Every "VMeshRef" in file order; several may show one entry.
    std::vector<StoredReference> references;
    std::vector<StoredHardpoint> hardpoints;
};

// Reads the model of a tree in which the inspector found no problem: every "VMeshRef" in file
// order, each naming a library entry whose "VMeshData" stream is read the first time
// one does, and every hardpoint under a "Hardpoints" node. A reference must use every
// mesh of its stream, as one the checks pass does. Checks again every bound it relies
// on, so a tree that was not inspected cannot make it read outside a leaf:
// MalformedTreeFile names what does not fit. The names of entries and hardpoints are
// taken whole until they add up to the tree's size without its names, then cut by
// CutName: records may share one long name, and a model of many copies of it would be
// many times the file.
Result<StoredModel> ReadStoredModel(const NodeTree& tree);

}  // namespace cmp
