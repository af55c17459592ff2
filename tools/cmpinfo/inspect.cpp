#include "tools/cmpinfo/inspect.h"

#include <optional>
#include <unordered_map>
#include <utility>
#include <variant>

#include "core/text.h"
#include "mesh/name_id.h"
#include "tools/cmpinfo/leaf_decoders.h"
#include "tools/cmpinfo/leaf_text.h"

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

void CheckMeshReference(const MeshReference& reference,
                        const std::unordered_multimap<std::uint32_t, LibraryEntry>& library,
                        std::vector<std::string>& problems) {
    auto [first, last] = library.equal_range(reference.libraryId);
    if (first == last) {
        problems.push_back("refers to library entry " + HexWord(reference.libraryId) +
                           ", which no \"VMeshLibrary\" child is named for");
        return;
    }
    const LibraryEntry& entry = first->second;
    const std::optional<std::uint16_t> meshCount =
        entry.meshData ? MeshDataStreamMeshCount(entry.meshData->bytes) : std::nullopt;
    if (meshCount && *meshCount != reference.meshCount) {
        problems.push_back("counts " + std::to_string(reference.meshCount) +
                           " meshes, but the mesh data of \"" + Printable(entry.name) +
                           "\" holds " + std::to_string(*meshCount));
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

std::size_t FileReport::CountProblems() const {
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
            LeafDecoding decoding = DecodeLeaf(node.name, bytes);
            node.decoded = std::move(decoding.content);
            node.problems = std::move(decoding.problems);
            // A reference too short for its fields decodes as unknown bytes; the decoder
            // has said so already.
            if (const auto* reference = std::get_if<MeshReference>(&node.decoded)) {
                CheckMeshReference(*reference, library, node.problems);
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
