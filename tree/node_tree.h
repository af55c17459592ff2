// The in-memory tree of named nodes from which one compound-model file is written.
// Besides parent and child links it keeps a registry of every node in insertion order;
// the writer uses both orders. It knows no window: a user interface mirrors it.
#pragma once

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "core/little_endian.h"

namespace cmp {

// Opaque handle of one node, stable for the life of the tree. The default is null.
class NodeHandle {
  public:
    NodeHandle() = default;
    explicit operator bool() const { return id_ != 0; }
    friend bool operator==(NodeHandle, NodeHandle) = default;

  private:
    friend class NodeTree;
    explicit NodeHandle(std::uint32_t id) : id_(id) {}
    std::uint32_t id_ = 0;  // registry index + 1
};

// A leaf's data: n bytes, a view of bytes the tree owns. Only the bytes reach the file.
// An empty payload is written exactly like no payload.
struct Payload {
    std::span<const std::uint8_t> bytes;
};

class NodeTree {
  public:
    NodeTree() = default;
    NodeTree(const NodeTree&) = delete;
    NodeTree& operator=(const NodeTree&) = delete;
    NodeTree(NodeTree&&) = default;
    NodeTree& operator=(NodeTree&&) = default;
    virtual ~NodeTree() = default;

    // New last child of `parent` (null: new last top-level node), appended to the
    // registry. `parent` must be a handle of this tree or null.
    NodeHandle InsertNode(NodeHandle parent, std::string name);
    // The node's payload from here on; replaces any earlier one. The tree keeps the
    // vector itself, so megabytes of mesh data are moved in, never copied.
    void SetPayload(NodeHandle node, Bytes bytes);
    // The same with a copy of `bytes`.
    void SetPayload(NodeHandle node, std::span<const std::uint8_t> bytes) {
        SetPayload(node, Bytes(bytes.begin(), bytes.end()));
    }
    // Room for this many nodes in all, so that a tree of known size grows in one step.
    void Reserve(std::size_t nodes);

    // Defined here, not out of line: a writer calls them several times for every node.
    const std::string& GetName(NodeHandle node) const { return At(node).name; }
    // Null when none was attached. Valid until the next InsertNode; the bytes it holds
    // stay where they are for the life of the tree.
    const Payload* GetPayload(NodeHandle node) const {
        const std::optional<Payload>& payload = At(node).payload;
        return payload ? &*payload : nullptr;
    }
    NodeHandle GetRoot() const { return firstTopLevel_; }  // first top-level node, or null
    // Null for a top-level node.
    NodeHandle GetParent(NodeHandle node) const { return At(node).parent; }
    // Null for a leaf.
    NodeHandle GetFirstChild(NodeHandle node) const { return At(node).firstChild; }
    // Null for the last one.
    NodeHandle GetNextSibling(NodeHandle node) const { return At(node).nextSibling; }
    // Every node in insertion order.
    const std::vector<NodeHandle>& Registry() const { return registry_; }
    // Where `node` (of this tree) stands in Registry(), for tables kept beside the tree.
    std::size_t GetIndex(NodeHandle node) const {
        assert(node && node.id_ <= nodes_.size());
        return node.id_ - 1;
    }
    std::size_t GetSize() const { return registry_.size(); }

  private:
    struct Node {
        std::string name;
        std::optional<Payload> payload;
        NodeHandle parent;
        NodeHandle firstChild;
        NodeHandle lastChild;
        NodeHandle nextSibling;
    };
    Node& At(NodeHandle node) {
        assert(node && node.id_ <= nodes_.size());
        return nodes_[node.id_ - 1];
    }
    const Node& At(NodeHandle node) const {
        assert(node && node.id_ <= nodes_.size());
        return nodes_[node.id_ - 1];
    }

    std::vector<Node> nodes_;  // registry order
    std::vector<NodeHandle> registry_;
    // What the payloads view, replaced ones included. Only the vectors' handles move when
    // this list grows or the tree is moved; the bytes stay put.
    std::vector<Bytes> payloadBytes_;
    NodeHandle firstTopLevel_;
    NodeHandle lastTopLevel_;
};

}  // namespace cmp
