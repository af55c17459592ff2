// What cmpinfo knows about one tree file, found node by node as a report is written: no
// report is ever held whole, so that a hostile file cannot make one many times its size.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "tools/cmpinfo/read/decoded_leaf.h"
#include "tree/tree.h"

namespace cmp {

// The file a report is about: its name as the user gave it, its length, and its tree,
// which must outlive the report.
struct FileReport {
    std::string file;
    std::size_t fileSize = 0;
    const NodeTree* tree = nullptr;
    // Every problem in the file, listed or not. Decodes every leaf.
    std::size_t CountProblems() const;
};

FileReport InspectTree(const NodeTree& tree, std::string file, std::size_t fileSize);

// One node: where it sits, and for a leaf what it holds and what is wrong with it.
struct NodeReport {
    int depth = 0;
    std::string_view name;  // the tree's own copy
    bool isLeaf = true;
    std::size_t size = 0;  // leaf bytes
    DecodedLeaf decoded;   // leaves only
    ProblemList problems;
};

struct LibraryEntry {
    const std::string* name = nullptr;
    const Payload* meshData = nullptr;  // its "VMeshData", null when it has none
};

// Every child of every "VMeshLibrary" node, by the identifier of its name (two may share
// one; the checks and the model read back both take the one that find() gives).
std::unordered_multimap<std::uint32_t, LibraryEntry> FindLibraryEntries(const NodeTree& tree);

// Walks the tree in pre-order without recursion, decoding each leaf by its name when
// the walk reaches it and checking what links leaves to each other: each "VMeshRef" must
// name an entry of a "VMeshLibrary" and count as many meshes as that entry's "VMeshData".
// Holds one node's report at a time.
class NodeWalk {
  public:
    explicit NodeWalk(const FileReport& report);

    // Moves to the next node; false after the last.
    bool Next();
    const NodeReport& GetNode() const { return node_; }
    // The names from the root to the current node, joined by "\", each name cut by
    // CutName and escaped by Printable. Deep paths keep their last 16 names after a
    // "...", so that no hostile nesting or naming makes one path long.
    std::string GetPath() const;

  private:
    struct Pending {
        NodeHandle node;
        int depth;
    };
    const NodeTree& tree_;
    std::unordered_multimap<std::uint32_t, LibraryEntry> library_;
    std::vector<Pending> pending_;
    std::vector<std::string_view> ancestors_;  // the current node's path, root first
    NodeReport node_;
};

// Which problems a report lists: each leaf's listed ones (ProblemsListedPerLeaf at most)
// until ProblemsListedInAll have been listed in the whole report; the rest only counted.
inline constexpr std::size_t ProblemsListedInAll = 1000;
class ProblemBudget {
  public:
    struct Share {
        std::size_t listed = 0;    // how many of the leaf's listed problems to show
        std::size_t unlisted = 0;  // the leaf's other problems
    };
    Share Take(const ProblemList& problems);
    std::size_t GetFound() const { return found_; }
    std::size_t GetUnlisted() const { return found_ - listed_; }

  private:
    std::size_t found_ = 0;
    std::size_t listed_ = 0;
};

}  // namespace cmp
