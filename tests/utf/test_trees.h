// Trees for the tree-file tests: small named shapes, random trees, and a comparison of
// two trees by shape, names and leaf bytes.
#pragma once

#include <charconv>
#include <cstdint>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "core/little_endian.h"
#include "tree/tree.h"

namespace cmp {

inline void Attach(NodeTree& tree, NodeHandle node, Bytes bytes) {
    tree.SetPayload(node, std::move(bytes));
}

// T at the top level, P and Q under T, R under P; R holds 01 02 and Q holds 03.
inline NodeTree InterleavedTree() {
    NodeTree tree;
    NodeHandle t = tree.InsertNode(NodeHandle(), "T");
    NodeHandle p = tree.InsertNode(t, "P");
    NodeHandle q = tree.InsertNode(t, "Q");
    NodeHandle r = tree.InsertNode(p, "R");
    Attach(tree, r, {0x01, 0x02});
    Attach(tree, q, {0x03});
    return tree;
}

// `count` nodes, each under a random earlier node (or at the top level), with names
// drawn from a small pool so that some repeat, and random payloads on some leaves.
inline NodeTree RandomTree(std::uint32_t seed, int count) {
    std::mt19937 random(seed);
    NodeTree tree;
    std::vector<NodeHandle> nodes;
    const std::vector<std::string> pool = {"",         "a",   "Root",     "root",      "VMeshData",
                                           "Position", "x y", "\xC4\xE4", "Hardpoints"};
    for (int i = 0; i < count; ++i) {
        NodeHandle parent;
        if (!nodes.empty() && random() % 8 != 0) {
            parent = nodes[random() % nodes.size()];
        }
        // Written with to_chars: GCC 12 at -O3 warns of overlapping copies in "n" + number
        // and in appending one.
        std::string name;
        if (random() % 3 == 0) {
            name = pool[random() % pool.size()];
        } else {
            char text[8] = {'n'};
            name.assign(text, std::to_chars(text + 1, std::end(text), random() % 1000).ptr);
        }
        nodes.push_back(tree.InsertNode(parent, std::move(name)));
    }
    for (NodeHandle node : nodes) {
        if (tree.GetFirstChild(node) || random() % 4 == 0) {
            continue;
        }
        Bytes bytes(random() % 40);
        for (auto& byte : bytes) {
            byte = static_cast<std::uint8_t>(random());
        }
        Attach(tree, node, std::move(bytes));
    }
    return tree;
}

// Calls visit(node, depth) for every node in pre-order: a node, its whole subtree, then
// its next sibling; top-level nodes have depth 0. Walks with an explicit stack, so trees
// of any width or depth are safe.
template <class Visit>
void ForEachInPreOrder(const NodeTree& tree, Visit visit) {
    std::vector<std::pair<NodeHandle, int>> stack;
    if (tree.GetRoot()) {
        stack.emplace_back(tree.GetRoot(), 0);
    }
    while (!stack.empty()) {
        const auto [node, depth] = stack.back();
        stack.pop_back();
        visit(node, depth);
        if (NodeHandle sibling = tree.GetNextSibling(node)) {
            stack.emplace_back(sibling, depth);
        }
        if (NodeHandle child = tree.GetFirstChild(node)) {
            stack.emplace_back(child, depth + 1);
        }
    }
}

struct FlatNode {
    int depth;
    std::string name;
    Bytes bytes;  // empty for no payload
    bool operator==(const FlatNode&) const = default;
};

// Pre-order listing of a tree, without recursion.
inline std::vector<FlatNode> Flatten(const NodeTree& tree) {
    std::vector<FlatNode> flat;
    ForEachInPreOrder(tree, [&](NodeHandle node, int depth) {
        const Payload* payload = tree.GetPayload(node);
        flat.push_back({depth, tree.GetName(node),
                        payload ? Bytes(payload->bytes.begin(), payload->bytes.end()) : Bytes()});
    });
    return flat;
}

}  // namespace cmp
