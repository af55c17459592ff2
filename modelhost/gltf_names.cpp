// Names as Assimp keeps them: in fixed strings of 1023 bytes, handed out as C strings.
#include <algorithm>

#include "modelhost/gltf_internal.h"

namespace cmp {

namespace {

constexpr std::size_t LongestAssimpName = 1023;

std::string UpToFirstNul(std::string_view text) {
    return std::string(text.substr(0, text.find('\0')));
}

}  // namespace

std::string AssimpName(std::string_view name) {
    return UpToFirstNul(name.substr(0, std::min(name.size(), LongestAssimpName)));
}

std::string NodeName(const tinygltf::Node& node, std::size_t index) {
    return AssimpName(node.name.empty() ? "nodes[" + std::to_string(index) + "]" : node.name);
}

// A primitive's mesh name. Assimp reads a mesh's name up to its first NUL, falls back on
// "meshes[i]", leaves a name too long for its string empty instead of cutting it, and
// numbers the primitives of a mesh that has several ("Hull-0", "Hull-1").
std::string PrimitiveName(const tinygltf::Mesh& mesh, std::size_t meshIndex,
                          std::size_t primitive) {
    std::string name = UpToFirstNul(mesh.name);
    if (name.empty()) {
        name = "meshes[" + std::to_string(meshIndex) + "]";
    }
    if (name.size() > LongestAssimpName) {
        name.clear();
    }
    if (mesh.primitives.size() > 1) {
        name += "-" + std::to_string(primitive);
    }
    return AssimpName(name);
}

}  // namespace cmp
