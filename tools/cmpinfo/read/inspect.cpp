#include "tools/cmpinfo/read/read.h"

#include <algorithm>
#include <optional>
#include <span>
#include <utility>
#include <variant>

#include "core/text.h"
#include "mesh/mesh.h"

namespace cmp {

namespace {

constexpr std::size_t PathNamesShown = 16;

void CheckMeshReference(const MeshReference& reference,
                        const std::unordered_multimap<std::uint32_t, LibraryEntry>& library,
                        ProblemList& problems) {
    const auto found = library.find(reference.libraryId);
    if (found == library.end()) {
        problems.Add("refers to library entry " + HexWord(reference.libraryId) +
                     ", which no \"VMeshLibrary\" child is named for");
        return;
    }
    const LibraryEntry& entry = found->second;
    const std::optional<std::uint16_t> meshCount =
        entry.meshData ? MeshDataStreamMeshCount(entry.meshData->bytes) : std::nullopt;
    if (meshCount && *meshCount != reference.meshCount) {
        problems.Add("counts " + std::to_string(reference.meshCount) +
                     " meshes, but the mesh data of \"" + TerminalText(CutName(*entry.name)) +
                     "\" holds " + std::to_string(*meshCount));
    }
}

}  // namespace

std::unordered_multimap<std::uint32_t, LibraryEntry> FindLibraryEntries(const NodeTree& tree) {
    std::unordered_multimap<std::uint32_t, LibraryEntry> entries;
    for (NodeHandle node : tree.Registry()) {
        if (tree.GetName(node) != "VMeshLibrary") {
            continue;
        }
        for (NodeHandle entry = tree.GetFirstChild(node); entry;
             entry = tree.GetNextSibling(entry)) {
            LibraryEntry found{&tree.GetName(entry), nullptr};
            for (NodeHandle part = tree.GetFirstChild(entry); part;
                 part = tree.GetNextSibling(part)) {
                if (tree.GetName(part) == "VMeshData") {
                    found.meshData = tree.GetPayload(part);
                }
            }
            entries.emplace(NameId(found.name->c_str()), found);
        }
    }
    return entries;
}

FileReport InspectTree(const NodeTree& tree, std::string file, std::size_t fileSize) {
    return FileReport{std::move(file), fileSize, &tree};
}

std::size_t FileReport::CountProblems() const {
    std::size_t count = 0;
    NodeWalk walk(*this);
    while (walk.Next()) {
        count += walk.GetNode().problems.GetCount();
    }
    return count;
}

NodeWalk::NodeWalk(const FileReport& report)
    : tree_(*report.tree), library_(FindLibraryEntries(*report.tree)) {
    if (tree_.GetRoot()) {
        pending_.push_back({tree_.GetRoot(), 0});
    }
}

bool NodeWalk::Next() {
    if (pending_.empty()) {
        return false;
    }
    const Pending current = pending_.back();
    pending_.pop_back();
    ancestors_.resize(static_cast<std::size_t>(current.depth));
    ancestors_.push_back(tree_.GetName(current.node));

    node_ = NodeReport();
    node_.depth = current.depth;
    node_.name = tree_.GetName(current.node);
    node_.isLeaf = !tree_.GetFirstChild(current.node);
    if (node_.isLeaf) {
        const Payload* payload = tree_.GetPayload(current.node);
        const std::span<const std::uint8_t> bytes =
            payload ? payload->bytes : std::span<const std::uint8_t>();
        node_.size = bytes.size();
        LeafDecoding decoding = DecodeLeaf(node_.name, bytes);
        node_.decoded = std::move(decoding.content);
        node_.problems = std::move(decoding.problems);
        // A reference too short for its fields decodes as unknown bytes; the decoder has
        // said so already.
        if (const auto* reference = std::get_if<MeshReference>(&node_.decoded)) {
            CheckMeshReference(*reference, library_, node_.problems);
        }
    }
    if (NodeHandle sibling = tree_.GetNextSibling(current.node)) {
        pending_.push_back({sibling, current.depth});
    }
    if (NodeHandle child = tree_.GetFirstChild(current.node)) {
        pending_.push_back({child, current.depth + 1});
    }
    return true;
}

std::string NodeWalk::GetPath() const {
    const std::size_t first =
        ancestors_.size() > PathNamesShown ? ancestors_.size() - PathNamesShown : 0;
    std::string path = first > 0 ? "..." : "";
    for (std::size_t i = first; i < ancestors_.size(); ++i) {
        // The root is usually named "\" itself; no second separator after it.
        if (!path.empty() && path.back() != '\\') {
            path += '\\';
        }
        path += TerminalText(CutName(ancestors_[i]));
    }
    return path;
}

ProblemBudget::Share ProblemBudget::Take(const ProblemList& problems) {
    Share share;
    share.listed = std::min(problems.GetListed().size(), ProblemsListedInAll - listed_);
    share.unlisted = problems.GetCount() - share.listed;
    listed_ += share.listed;
    found_ += problems.GetCount();
    return share;
}

}  // namespace cmp
