#include "tree/node_tree.h"

#include <cassert>

namespace cmp {

NodeHandle NodeTree::InsertNode(NodeHandle parent, std::string name) {
    NodeHandle handle(static_cast<std::uint32_t>(nodes_.size() + 1));
    Node node;
    node.name = std::move(name);
    node.parent = parent;
    nodes_.push_back(std::move(node));
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

void NodeTree::SetPayload(NodeHandle node, Bytes bytes) {
    At(node).payload = Payload{std::move(bytes)};
}

void NodeTree::Reserve(std::size_t nodes) {
    nodes_.reserve(nodes);
    registry_.reserve(nodes);
}

const std::string& NodeTree::GetName(NodeHandle node) const {
    return At(node).name;
}

const Payload* NodeTree::GetPayload(NodeHandle node) const {
    const std::optional<Payload>& payload = At(node).payload;
    return payload ? &*payload : nullptr;
}

NodeHandle NodeTree::GetRoot() const {
    return firstTopLevel_;
}

NodeHandle NodeTree::GetParent(NodeHandle node) const {
    return At(node).parent;
}

NodeHandle NodeTree::GetFirstChild(NodeHandle node) const {
    return At(node).firstChild;
}

NodeHandle NodeTree::GetNextSibling(NodeHandle node) const {
    return At(node).nextSibling;
}

NodeTree::Node& NodeTree::At(NodeHandle node) {
    assert(node && node.id_ <= nodes_.size());
    return nodes_[node.id_ - 1];
}

const NodeTree::Node& NodeTree::At(NodeHandle node) const {
    assert(node && node.id_ <= nodes_.size());
    return nodes_[node.id_ - 1];
}

}  // namespace cmp
