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

}  // namespace cmp
