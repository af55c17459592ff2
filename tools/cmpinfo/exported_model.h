// The model a tree file holds, read back as geometry: the meshes its mesh references
// use, with their vertices and triangles as stored, and its hardpoints. The picture and
// the glTF are drawn from this, never from the bytes directly.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/error.h"
#include "tree/node_tree.h"

namespace cmp {

// One vertex record of the mesh data stream, exactly as stored (the file's axes: Y and
// Z negated, scaled down from the modeller's units).
struct StoredVertex {
    std::array<float, 3> position{};
    std::array<float, 3> normal{};
    std::array<float, 2> uv{};
};

struct StoredMesh {
    std::string entry;               // the library entry that holds it
    std::uint16_t indexInEntry = 0;  // its place in that entry's stream
    std::uint32_t material = 0;      // the material identifier; the name is not kept
    std::vector<StoredVertex> vertices;
    std::vector<std::uint16_t> indices;  // three per triangle, local to the mesh
};

enum class HardpointKind { Fixed, Revolute };

struct StoredHardpoint {
    std::string name;
    HardpointKind kind = HardpointKind::Fixed;
    std::array<float, 9> orientation{1, 0, 0, 0, 1, 0, 0, 0, 1};  // three rows
    std::array<float, 3> position{};
    // Revolute hardpoints only, when the file holds them.
    std::array<float, 3> axis{};
    float min = 0;
    float max = 0;
};

struct StoredModel {
    std::vector<StoredMesh> meshes;
    std::vector<StoredHardpoint> hardpoints;
};

// Reads the model of a tree that the inspector found sound: every "VMeshRef" in file
// order, each giving the meshes it names from its library entry's "VMeshData", and every
// hardpoint under a "Hardpoints" node. Checks again every bound it relies on, so a tree
// that was not inspected cannot make it read outside a leaf: MalformedTreeFile names
// what does not fit.
Result<StoredModel> ReadStoredModel(const NodeTree& tree);

}  // namespace cmp
