#include "ui/user_interface.h"

#include <vector>

#include "core/text.h"

namespace cmp {

namespace {

struct PendingNode {
    NodeHandle node;
    std::string prefix;  // connectors of the ancestors below the top level
    bool isTopLevel;
    bool isLastSibling;
};

// Pushes the children of `parent` so that the first child is popped first.
void PushChildren(const NodeTree& tree, const PendingNode& parent,
                  std::vector<PendingNode>& pending) {
    std::string childPrefix = parent.isTopLevel
                                  ? std::string()
                                  : parent.prefix + (parent.isLastSibling ? "    " : "│   ");
    std::vector<NodeHandle> children;
    for (NodeHandle child = tree.GetFirstChild(parent.node); child;
         child = tree.GetNextSibling(child)) {
        children.push_back(child);
    }
    for (std::size_t i = children.size(); i-- > 0;) {
        pending.push_back({children[i], childPrefix, false, i + 1 == children.size()});
    }
}

}  // namespace

std::string DrawTree(const NodeTree& tree) {
    if (!tree.GetRoot()) {
        return "(empty)\n";
    }
    std::vector<NodeHandle> topLevel;
    for (NodeHandle node = tree.GetRoot(); node; node = tree.GetNextSibling(node)) {
        topLevel.push_back(node);
    }
    std::vector<PendingNode> pending;
    for (std::size_t i = topLevel.size(); i-- > 0;) {
        pending.push_back({topLevel[i], std::string(), true, i + 1 == topLevel.size()});
    }

    std::string text;
    while (!pending.empty()) {
        PendingNode current = std::move(pending.back());
        pending.pop_back();
        if (!current.isTopLevel) {
            text += current.prefix;
            text += current.isLastSibling ? "└── " : "├── ";
        }
        text += TerminalText(tree.GetName(current.node));
        text += '\n';
        PushChildren(tree, current, pending);
    }
    return text;
}

}  // namespace cmp
