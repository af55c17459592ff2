// cmpinfo's reading of a tree file, the library every other part of cmpinfo stands on:
// the file's bytes, read no further than a tree file can reach; each known leaf decoded
// into plain data with its problems; the walk that checks the whole tree node by node;
// the model it holds, read back as geometry for the picture and the glTF; and the few
// text forms every output shares. Everything here takes the file as hostile input.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <variant>
#include <vector>

#include "core/error.h"
#include "core/little_endian.h"
#include "mesh/mesh.h"
#include "tree/tree.h"

namespace cmp {

// -- The file's bytes (tree_file_bytes.cpp)
// The bytes of the file cmpinfo is asked about, read no further than a tree file can
// reach, so that neither a huge file nor an endless device fills memory before anything
// is checked.

// A tree file's 32-bit offsets address no byte past this.
inline constexpr std::uint64_t MaxTreeFileSize = 0xFFFFFFFFu;

// A regular file is sized first and refused (TreeTooLarge) when longer than
// MaxTreeFileSize, else read whole. Anything else (a pipe, a device) is read in steps:
// the 56-byte header; if it is not a tree file's (magic, version, record size), nothing
// more, and the reader refuses those bytes; else up to the farthest end its blocks claim,
// then up to the farthest end of any leaf's data that its records claim. Bytes past that
// are left unread: they cannot belong to the tree. CannotRead with the system's reason
// when the file cannot be opened or read.
Result<Bytes> ReadTreeFileBytes(const char* path);

// -- What a leaf holds
// What cmpinfo's decoders find in a leaf: plain data, with no text for people or for
// programs in it. The report's renderers turn it into either.

// Any leaf that no decoder knows, or whose size its decoder cannot read: its size and
// its first bytes (at most UnknownLeafShownBytes).
inline constexpr std::size_t UnknownLeafShownBytes = 16;
struct UnknownLeaf {
    std::size_t size = 0;
    Bytes firstBytes;
};

// "VMeshData": the header, the header of every mesh that lies whole inside the stream
// (fewer than the header counts when the stream is cut short), and the length in bytes
// that the header's counts call for.
struct MeshDataStreamLeaf {
    MeshStreamHeader header;
    std::uint64_t expectedLength = 0;
    std::vector<MeshStreamMesh> meshes;
};

// "File name", "Object name": the bytes before the first 0 byte, as the file has them.
struct TextLeaf {
    std::string text;
};

// "Position", "Axis", "Orientation", "Max", "Min": reals in rows, every row as long.
struct RealsLeaf {
    std::vector<std::vector<float>> rows;
};

// "VMeshRef" decodes to the shared MeshReference record.
using DecodedLeaf =
    std::variant<UnknownLeaf, MeshDataStreamLeaf, MeshReference, TextLeaf, RealsLeaf>;

// The problems found in one leaf: all of them counted, the first ProblemsListedPerLeaf
// kept as text. A hostile leaf can hold a problem in every few bytes; keeping them all
// would make the report many times the file's size.
inline constexpr std::size_t ProblemsListedPerLeaf = 100;
class ProblemList {
  public:
    void Add(std::string problem) {
        if (listed_.size() < ProblemsListedPerLeaf) {
            listed_.push_back(std::move(problem));
        }
        ++count_;
    }
    // The first problems found, in the order found.
    const std::vector<std::string>& GetListed() const { return listed_; }
    // Every problem found, the listed ones and the rest.
    std::size_t GetCount() const { return count_; }

  private:
    std::vector<std::string> listed_;
    std::size_t count_ = 0;
};

// A decoder's answer: the content, and the problems found (none when the leaf holds together).
struct LeafDecoding {
    DecodedLeaf content;
    ProblemList problems;
};

// -- Text forms (leaf_text.cpp)
// Text forms that the decoders' messages, the report, the picture and the glTF share, so
// that a value reads the same wherever cmpinfo shows it. Names and paths shown to people
// go through TerminalText (core/text.h): one escaping rule for the report, the
// messages and the picture's labels.

// A name as lines that repeat names show it: whole up to NameShownBytes, else its first
// NameCutBytes and "...". Raw bytes, for TerminalText or JSON to escape. A problem line names
// its node's whole path, so a hostile name of thousands of bytes would otherwise come back
// in every problem of every node below it.
inline constexpr std::size_t NameShownBytes = 64;
inline constexpr std::size_t NameCutBytes = 60;
std::string CutName(std::string_view name);

// Names in the views of the whole tree: whole while the names shown whole add up to no
// more than the file's length (or NamesShownWholeFloor), which any ordinary file's names
// do; past that, cut by CutName. Records may share one name, so a file whose records all
// name one long string would otherwise print many times its own size.
inline constexpr std::uint64_t NamesShownWholeFloor = 65536;
class NameShower {
  public:
    explicit NameShower(std::uint64_t fileSize);
    // The raw bytes to show for `name`.
    std::string Show(std::string_view name);

  private:
    std::uint64_t budget_;
};

// "1 byte", "2 bytes".
std::string Plural(std::uint64_t count, const char* one, const char* many);

// Shortest decimal text that reads back as the same float ("-0" for negative zero; "nan",
// "inf" or "-inf" for what is not a finite number).
std::string FormatReal(float value);

// The shown bytes in upper-case hex, space-separated, then " ... (N more)" when the leaf
// holds more; empty for an empty leaf.
std::string HexPreview(const UnknownLeaf& leaf);

// -- Decoders (leaf_decoders.cpp, mesh_data_stream_leaf.cpp)
// Decoders of the leaves cmpinfo knows. Each takes a leaf's bytes as hostile input, reads
// only inside them, and returns what it found as data (above) with every problem.
// A leaf too short for its decoder comes back as an UnknownLeaf with a problem that says so.

// "VMeshData": the stream header, every mesh header, the length the counts call for, and
// every index against its own mesh's vertex count.
LeafDecoding DecodeMeshDataStream(std::span<const std::uint8_t> bytes);

// The mesh count of a mesh data stream's header, which other leaves refer to; nullopt
// when the stream is too short for its header.
std::optional<std::uint16_t> MeshDataStreamMeshCount(std::span<const std::uint8_t> bytes);

// "VMeshRef": the fields of the mesh reference record, shown whenever the bytes reach
// them, with a problem when the record is not exactly MeshReferenceSize bytes or its
// size field says otherwise.
LeafDecoding DecodeMeshReferenceLeaf(std::span<const std::uint8_t> bytes);

// "File name", "Object name": text ending in one 0 byte.
LeafDecoding DecodeText(std::span<const std::uint8_t> bytes);

// `rows` rows of `perRow` reals ("Position", "Axis": 1 x 3; "Orientation": 3 x 3).
LeafDecoding DecodeReals(std::span<const std::uint8_t> bytes, std::size_t rows, std::size_t perRow);

// "Max", "Min": one real, optionally followed by four bytes of zero padding; decoded as
// reals of one row of one.
LeafDecoding DecodeLimit(std::span<const std::uint8_t> bytes);

// Any other leaf: its size and first bytes.
LeafDecoding DecodeUnknown(std::span<const std::uint8_t> bytes);

// The decoder for a leaf of this name.
LeafDecoding DecodeLeaf(std::string_view name, std::span<const std::uint8_t> bytes);

// -- The walk over the tree (inspect.cpp)
// What cmpinfo knows about one tree file, found node by node as a report is written: no
// report is ever held whole, so that a hostile file cannot make one many times its size.

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
    // CutName and escaped by TerminalText. Deep paths keep their last 16 names after a
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

// -- The model read back (exported_model.cpp)
// The model a tree file holds, read back as geometry: the meshes its mesh references
// use, with their vertices and triangles as stored, and its hardpoints. The picture and
// the glTF are drawn from this, never from the bytes directly. A stream that many
// references use is held once, so that the model grows with the file, not with the
// references in it.

// One vertex record of the mesh data stream, exactly as stored (the file's axes: Y and
// Z negated, scaled down from the modeller's units).
struct StoredVertex {
    std::array<float, 3> position{};
    std::array<float, 3> normal{};
    std::array<float, 2> uv{};
};

struct StoredMesh {
    std::size_t entry = 0;           // the library entry that holds it: StoredModel::entries
    std::uint16_t indexInEntry = 0;  // its place in that entry's stream
    std::uint32_t material = 0;      // the material identifier; the name is not kept
    std::vector<StoredVertex> vertices;
    std::vector<std::uint16_t> indices;  // three per triangle, local to the mesh
};

struct StoredHardpoint {
    std::string name;                           // as stored, or cut: see ReadStoredModel
    HardpointKind kind = HardpointKind::Fixed;  // the exporter's own kinds (tree/tree.h)
    std::array<float, 9> orientation{1, 0, 0, 0, 1, 0, 0, 0, 1};  // three rows
    std::array<float, 3> position{};
    // Revolute hardpoints only, when the file holds them.
    std::array<float, 3> axis{};
    float min = 0;
    float max = 0;
};

// One "VMeshRef": the library entry whose meshes it shows (StoredModel::entries), all
// of them, where they are stored.
struct StoredReference {
    std::size_t entry = 0;
};

struct StoredModel {
    // The names of the library entries that references use, in the order first used.
    std::vector<std::string> entries;
    // Every mesh of those entries' streams, each once: entry by entry, in stream order.
    std::vector<StoredMesh> meshes;
    // Every "VMeshRef" in file order; several may show one entry.
    std::vector<StoredReference> references;
    std::vector<StoredHardpoint> hardpoints;
};

// Reads the model of a tree in which the inspector found no problem: every "VMeshRef" in file
// order, each naming a library entry whose "VMeshData" stream is read the first time
// one does, and every hardpoint under a "Hardpoints" node. A reference must use every
// mesh of its stream, as one the checks pass does. Checks again every bound it relies
// on, so a tree that was not inspected cannot make it read outside a leaf:
// MalformedTreeFile names what does not fit. The names of entries and hardpoints are
// taken whole until they add up to the tree's size without its names, then cut by
// CutName: records may share one long name, and a model of many copies of it would be
// many times the file.
Result<StoredModel> ReadStoredModel(const NodeTree& tree);

// -- Loading a file (checked_model.cpp)
// The model of a file that reads as a tree file and passes every check: what the
// picture and the glTF are made from. A file the checks refuse gives no model, so
// nothing is ever drawn or converted from bytes that do not hold together.

// A tree file read whole and parsed: its length and its tree.
struct LoadedTree {
    std::size_t fileSize = 0;
    NodeTree tree;
};

// Reads and parses `path`. The error's message is one line for the user, naming the file:
// "PATH: cannot read: REASON" or "PATH: not a readable tree file: REASON (at byte N)".
Result<LoadedTree> LoadTreeFile(const std::string& path);

// Reads `path` and checks it as `cmpinfo --check` does. The error's message is one line
// for the user, naming the file: why it cannot be read, or how many problems the checks
// found and the first of them (its node path and what is wrong).
Result<StoredModel> LoadCheckedModel(const std::string& path);

}  // namespace cmp
