#include "tree/tree.h"

#include <cassert>

namespace cmp {

NodeHandle NodeTree::InsertNode(NodeHandle parent, std::string name) {
    NodeHandle handle(static_cast<std::uint32_t>(nodes_.size() + 1));
    Node& node = nodes_.emplace_back();  // made in place: the name is moved once
    node.name = std::move(name);
    node.parent = parent;
    registry_.push_back(handle);

    NodeHandle& first = parent ? At(parent).firstChild : firstTopLevel_;
    NodeHandle& last = parent ? At(parent).lastChild : lastTopLevel_;
    if (last) {
        At(last).nextSibling = handle;
    } else {
        first = handle;
    }
    last = handle;
    return handle;
}

// A replaced payload's bytes stay where they are, unused, until the tree goes: a view of
// them may still be held, and trees are built once and written, not edited.
void NodeTree::SetPayload(NodeHandle node, Bytes bytes) {
    Node& target = At(node);
    if (bytes.empty()) {
        target.payload = Payload{};
        return;
    }
    payloadBytes_.push_back(std::move(bytes));
    target.payload = Payload{payloadBytes_.back()};
}

void NodeTree::Reserve(std::size_t nodes) {
    nodes_.reserve(nodes);
    registry_.reserve(nodes);
}

}  // namespace cmp
