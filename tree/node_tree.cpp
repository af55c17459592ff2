#include "tree/node_tree.h"

#include <algorithm>
#include <cassert>

namespace cmp {

namespace {

// Room for a few hundred hardpoint leaves; a larger payload is kept in a vector of its own.
constexpr std::size_t PayloadBlockSize = 16 * 1024;

}  // namespace

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
    ownedPayloads_.push_back(std::move(bytes));
    target.payload = Payload{ownedPayloads_.back()};
}

void NodeTree::SetPayload(NodeHandle node, std::span<const std::uint8_t> bytes) {
    if (bytes.size() > PayloadBlockSize) {
        SetPayload(node, Bytes(bytes.begin(), bytes.end()));
        return;
    }
    Node& target = At(node);
    if (bytes.empty()) {
        target.payload = Payload{};
        return;
    }
    // A payload that does not fit the newest block starts the next one; the rest of the
    // full one stays unused.
    if (blocks_.empty() || bytes.size() > PayloadBlockSize - blockUsed_) {
        blocks_.push_back(std::make_unique_for_overwrite<std::uint8_t[]>(PayloadBlockSize));
        blockUsed_ = 0;
    }
    std::uint8_t* copy = blocks_.back().get() + blockUsed_;
    std::copy(bytes.begin(), bytes.end(), copy);
    blockUsed_ += bytes.size();
    target.payload = Payload{{copy, bytes.size()}};
}

void NodeTree::Reserve(std::size_t nodes) {
    nodes_.reserve(nodes);
    registry_.reserve(nodes);
}

}  // namespace cmp
