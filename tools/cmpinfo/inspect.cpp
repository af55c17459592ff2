#include "tools/cmpinfo/inspect.h"

#include <cstdio>
#include <unordered_map>
#include <utility>

#include "mesh/name_id.h"

namespace cmp {

namespace {

constexpr std::size_t PathNamesShown = 16;

struct LibraryEntry {
    std::string name;
    const Payload* meshData = nullptr;
};

// Every child of every "VMeshLibrary" node, by the identifier of its name.
std::unordered_multimap<std::uint32_t, LibraryEntry> LibraryEntries(const NodeTree& tree) {
    std::unordered_multimap<std::uint32_t, LibraryEntry> entries;
    for (NodeHandle node : tree.Registry()) {
        if (tree.GetName(node) != "VMeshLibrary") {
            continue;
        }
        for (NodeHandle entry = tree.GetFirstChild(node); entry;
             entry = tree.GetNextSibling(entry)) {
            LibraryEntry found{tree.GetName(entry), nullptr};
            for (NodeHandle part = tree.GetFirstChild(entry); part;
                 part = tree.GetNextSibling(part)) {
                if (tree.GetName(part) == "VMeshData") {
                    found.meshData = tree.GetPayload(part);
                }
            }
            entries.emplace(NameId(found.name.c_str()), std::move(found));
        }
    }
    return entries;
}

void CheckMeshReference(const Bytes& bytes,
                        const std::unordered_multimap<std::uint32_t, LibraryEntry>& library,
                        std::vector<std::string>& problems) {
    if (bytes.size() < 20) {
        return;  // the decoder has said so already
    }
    const std::uint32_t id = LoadU32(bytes.data() + 4);
    const std::uint16_t meshCount = LoadU16(bytes.data() + 18);
    auto [first, last] = library.equal_range(id);
    if (first == last) {
        char hex[16];
        std::snprintf(hex, sizeof hex, "0x%X", id);
        problems.push_back(std::string("refers to library entry ") + hex +
                           ", which no \"VMeshLibrary\" child is named for");
        return;
    }
    const LibraryEntry& entry = first->second;
    const MeshDataSummary summary =
        entry.meshData ? SummarizeMeshDataStream(entry.meshData->bytes) : MeshDataSummary{};
    if (summary.valid && summary.meshCount != meshCount) {
        problems.push_back("counts " + std::to_string(meshCount) +
                           " meshes, but the mesh data of \"" + Printable(entry.name) +
                           "\" holds " + std::to_string(summary.meshCount));
    }
}

}  // namespace

std::string NodePath(const FileReport& report, std::size_t index) {
    std::vector<const std::string*> names;
    std::ptrdiff_t at = static_cast<std::ptrdiff_t>(index);
    bool cut = false;
    while (at >= 0) {
        if (names.size() == PathNamesShown) {
            cut = true;
            break;
        }
        names.push_back(&report.nodes[static_cast<std::size_t>(at)].name);
        at = report.nodes[static_cast<std::size_t>(at)].parent;
    }
    std::string path = cut ? "..." : "";
    for (auto name = names.rbegin(); name != names.rend(); ++name) {
        // The root is usually named "\" itself; no second separator after it.
        if (!path.empty() && path.back() != '\\') {
            path += '\\';
        }
        path += Printable(**name);
    }
    return path;
}

std::size_t FileReport::ProblemCount() const {
    std::size_t count = 0;
    for (const NodeReport& node : nodes) {
        count += node.problems.size();
    }
    return count;
}

FileReport InspectTree(const NodeTree& tree, std::string file, std::size_t fileSize) {
    FileReport report{std::move(file), fileSize, {}};
    const auto library = LibraryEntries(tree);

    struct Pending {
        NodeHandle node;
        int depth;
        std::ptrdiff_t parent;
    };
    std::vector<Pending> stack;
    if (tree.GetRoot()) {
        stack.push_back({tree.GetRoot(), 0, -1});
    }
    while (!stack.empty()) {
        const Pending current = stack.back();
        stack.pop_back();
        const auto index = static_cast<std::ptrdiff_t>(report.nodes.size());
        NodeReport node;
        node.depth = current.depth;
        node.parent = current.parent;
        node.name = tree.GetName(current.node);
        node.isLeaf = !tree.GetFirstChild(current.node);
        if (node.isLeaf) {
            const Payload* payload = tree.GetPayload(current.node);
            const Bytes bytes = payload ? payload->bytes : Bytes();
            node.size = bytes.size();
            node.decoding = DecodeLeaf(node.name, bytes);
            node.problems = node.decoding.problems;
            if (node.name == "VMeshRef") {
                CheckMeshReference(bytes, library, node.problems);
            }
        }
        if (NodeHandle sibling = tree.GetNextSibling(current.node)) {
            stack.push_back({sibling, current.depth, current.parent});
        }
        if (NodeHandle child = tree.GetFirstChild(current.node)) {
            stack.push_back({child, current.depth + 1, index});
        }
        report.nodes.push_back(std::move(node));
    }
    return report;
}

}  // namespace cmp
