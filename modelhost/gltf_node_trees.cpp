// The node trees of a glTF scene, checked before any walk: the walks rely on them to end,
// and a node reached twice would be imported twice.
#include <algorithm>
#include <string>

#include "modelhost/gltf_internal.h"

namespace cmp {

namespace {

Error Refused(const std::string& reason) {
    return Error{ErrorCode::ImportFailed, reason};
}

// Each node's parent (-1 for none), once the nodes are found to form trees: every node has
// one parent at most and none is its own ancestor.
Result<std::vector<int>> NodeParents(const tinygltf::Model& model) {
    const std::size_t nodeCount = model.nodes.size();
    std::vector<int> parents(nodeCount, -1);
    for (std::size_t n = 0; n < nodeCount; ++n) {
        const tinygltf::Node& node = model.nodes[n];
        if (node.mesh >= 0 && static_cast<std::size_t>(node.mesh) >= model.meshes.size()) {
            return Refused("node " + std::to_string(n) + " has a mesh the file does not have");
        }
        for (int child : node.children) {
            if (child < 0 || static_cast<std::size_t>(child) >= nodeCount) {
                return Refused("node " + std::to_string(n) + " has a child the file does not have");
            }
            if (parents[static_cast<std::size_t>(child)] != -1) {
                return Refused("node " + std::to_string(child) +
                               " is the child of two nodes; glTF nodes form trees");
            }
            parents[static_cast<std::size_t>(child)] = static_cast<int>(n);
        }
    }
    // Every node below a node without parent is in a tree; the others are in cycles.
    std::vector<bool> inTree(nodeCount, false);
    std::vector<int> pending;
    for (std::size_t n = 0; n < nodeCount; ++n) {
        if (parents[n] == -1) {
            pending.push_back(static_cast<int>(n));
        }
    }
    while (!pending.empty()) {
        const int node = pending.back();
        pending.pop_back();
        inTree[static_cast<std::size_t>(node)] = true;
        const std::vector<int>& children = model.nodes[static_cast<std::size_t>(node)].children;
        pending.insert(pending.end(), children.begin(), children.end());
    }
    const auto cyclic = std::find(inTree.begin(), inTree.end(), false);
    if (cyclic != inTree.end()) {
        return Refused("node " + std::to_string(cyclic - inTree.begin()) +
                       " is its own ancestor; glTF nodes form trees");
    }
    return parents;
}

// Assimp loads the scene named by "scene", else the first.
Result<std::vector<int>> RootsOfTrees(const tinygltf::Model& model,
                                      const std::vector<int>& parents) {
    const std::size_t scene =
        model.defaultScene >= 0 ? static_cast<std::size_t>(model.defaultScene) : 0;
    if (scene >= model.scenes.size()) {
        return Refused("it has no scene");
    }
    const std::vector<int>& roots = model.scenes[scene].nodes;
    std::vector<bool> listed(model.nodes.size(), false);
    for (int root : roots) {
        if (root < 0 || static_cast<std::size_t>(root) >= model.nodes.size()) {
            return Refused("its scene has a node the file does not have");
        }
        if (parents[static_cast<std::size_t>(root)] != -1 ||
            listed[static_cast<std::size_t>(root)]) {
            return Refused("node " + std::to_string(root) +
                           " is reached twice from the scene; glTF nodes form trees");
        }
        listed[static_cast<std::size_t>(root)] = true;
    }
    return roots;
}

}  // namespace

Result<std::vector<int>> SceneRoots(const tinygltf::Model& model) {
    Result<std::vector<int>> parents = NodeParents(model);
    if (!parents) {
        return parents.error();
    }
    return RootsOfTrees(model, parents.value());
}

}  // namespace cmp
