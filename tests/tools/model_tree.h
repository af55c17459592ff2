// A model's node tree as the exporter lays it out, and a node of it found by name: what
// the tests of the inspector and of the model read back start from and damage.
#pragma once

#include <string>

#include "mesh/mesh.h"
#include "tree/tree.h"

namespace cmp {

inline NodeTree ModelTree(const MeshList& meshes) {
    NodeTree tree;
    BuildCompoundLayout(tree, meshes, BuildMeshDataStream(meshes));
    return tree;
}

// The first node of that name in insertion order; null when there is none.
inline NodeHandle FindNode(const NodeTree& tree, const std::string& name) {
    for (NodeHandle node : tree.Registry()) {
        if (tree.GetName(node) == name) {
            return node;
        }
    }
    return NodeHandle();
}

}  // namespace cmp
