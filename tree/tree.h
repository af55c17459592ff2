// The tree library: the in-memory tree of named nodes from which one compound-model file
// is written, and the compound model's own layout of that tree.
//
// How the parts fit:
// - NodeTree (node_tree.cpp) holds named nodes with parent and child links, a registry in
//   insertion order and leaf payloads; it knows no file format and no window (the tree
//   file writer in utf/ writes it, a user interface mirrors it).
// - BuildCompoundLayout (compound_layout.cpp) inserts the fixed layout of a compound
//   model into an empty tree: the mesh library entry with the mesh data stream, the
//   compound root, and the model file node with its "VMeshRef" record
//   (mesh_reference.cpp, the one encoder and decoder of that record) and hardpoints.
// - AddHardpoints (hardpoints.cpp) turns the meshes flagged as hardpoints into nodes,
//   oriented by the nearest face of the other meshes, which NearestFaceIndex
//   (nearest_face.cpp) finds.
#pragma once

#include <algorithm>
#include <array>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "core/error.h"
#include "core/little_endian.h"
#include "mesh/mesh.h"

namespace cmp {

// --- Node tree ---------------------------------------------------------------------------

// Opaque handle of one node, stable for the life of the tree. The default is null.
class NodeHandle {
  public:
    NodeHandle() = default;
    explicit operator bool() const { return id_ != 0; }
    friend bool operator==(NodeHandle, NodeHandle) = default;

  private:
    friend class NodeTree;
    explicit NodeHandle(std::uint32_t id) : id_(id) {}
    std::uint32_t id_ = 0;  // registry index + 1
};

// A leaf's data: n bytes, a view of bytes the tree owns. Only the bytes reach the file.
// An empty payload is written exactly like no payload.
struct Payload {
    std::span<const std::uint8_t> bytes;
};

class NodeTree {
  public:
    NodeTree() = default;
    NodeTree(const NodeTree&) = delete;
    NodeTree& operator=(const NodeTree&) = delete;
    NodeTree(NodeTree&&) = default;
    NodeTree& operator=(NodeTree&&) = default;
    virtual ~NodeTree() = default;

    // New last child of `parent` (null: new last top-level node), appended to the
    // registry. `parent` must be a handle of this tree or null.
    NodeHandle InsertNode(NodeHandle parent, std::string name);
    // The node's payload from here on; replaces any earlier one. The tree keeps the
    // vector itself, so megabytes of mesh data are moved in, never copied.
    void SetPayload(NodeHandle node, Bytes bytes);
    // The same with a copy of `bytes`.
    void SetPayload(NodeHandle node, std::span<const std::uint8_t> bytes) {
        SetPayload(node, Bytes(bytes.begin(), bytes.end()));
    }
    // Room for this many nodes in all, so that a tree of known size grows in one step.
    void Reserve(std::size_t nodes);

    // Defined here, not out of line: a writer calls them several times for every node.
    const std::string& GetName(NodeHandle node) const { return At(node).name; }
    // Null when none was attached. Valid until the next InsertNode; the bytes it holds
    // stay where they are for the life of the tree.
    const Payload* GetPayload(NodeHandle node) const {
        const std::optional<Payload>& payload = At(node).payload;
        return payload ? &*payload : nullptr;
    }
    NodeHandle GetRoot() const { return firstTopLevel_; }  // first top-level node, or null
    // Null for a top-level node.
    NodeHandle GetParent(NodeHandle node) const { return At(node).parent; }
    // Null for a leaf.
    NodeHandle GetFirstChild(NodeHandle node) const { return At(node).firstChild; }
    // Null for the last one.
    NodeHandle GetNextSibling(NodeHandle node) const { return At(node).nextSibling; }
    // Every node in insertion order.
    const std::vector<NodeHandle>& Registry() const { return registry_; }
    // Where `node` (of this tree) stands in Registry(), for tables kept beside the tree.
    std::size_t GetIndex(NodeHandle node) const {
        assert(node && node.id_ <= nodes_.size());
        return node.id_ - 1;
    }
    std::size_t GetSize() const { return registry_.size(); }

  private:
    struct Node {
        std::string name;
        std::optional<Payload> payload;
        NodeHandle parent;
        NodeHandle firstChild;
        NodeHandle lastChild;
        NodeHandle nextSibling;
    };
    Node& At(NodeHandle node) {
        assert(node && node.id_ <= nodes_.size());
        return nodes_[node.id_ - 1];
    }
    const Node& At(NodeHandle node) const {
        assert(node && node.id_ <= nodes_.size());
        return nodes_[node.id_ - 1];
    }

    std::vector<Node> nodes_;  // registry order
    std::vector<NodeHandle> registry_;
    // What the payloads view, replaced ones included. Only the vectors' handles move when
    // this list grows or the tree is moved; the bytes stay put.
    std::vector<Bytes> payloadBytes_;
    NodeHandle firstTopLevel_;
    NodeHandle lastTopLevel_;
};

// --- The mesh reference record -----------------------------------------------------------

// The "VMeshRef" leaf: the 60-byte record by which a model part refers to its meshes in
// a library entry's mesh data stream. Written by the compound layout, read by the
// inspector; this is the one place that knows where its fields lie.

inline constexpr std::size_t MeshReferenceSize = 60;

// Byte offsets of the fields; every byte not named here is zero.
inline constexpr std::size_t MeshReferenceSizeOffset = 0;        // u32, the record's own size
inline constexpr std::size_t MeshReferenceLibraryIdOffset = 4;   // u32, NameId of the entry
inline constexpr std::size_t MeshReferenceFirstMeshOffset = 16;  // u16, first mesh used
inline constexpr std::size_t MeshReferenceMeshCountOffset = 18;  // u16, meshes used

struct MeshReference {
    std::uint32_t recordSize = MeshReferenceSize;
    std::uint32_t libraryId = 0;
    std::uint16_t firstMesh = 0;
    std::uint16_t meshCount = 0;
};

// The record's bytes: the four fields little-endian at their offsets, zeros elsewhere.
Bytes EncodeMeshReference(const MeshReference& reference);

// The fields of a record; nullopt when `bytes` is shorter than the record (longer is
// the caller's to judge: the fields are read from the first 60 bytes).
std::optional<MeshReference> DecodeMeshReference(const Bytes& bytes);

// --- Compound layout ---------------------------------------------------------------------

// Number of meshes not flagged as hardpoints (ExportMesh::isHardpoint).
std::int32_t CountNonHardpointMeshes(const MeshList& meshes);

// The 60-byte "VMeshRef" record: its own size, the identifier of the library entry
// name, the number of non-hardpoint meshes at offset 18, zeros elsewhere.
Bytes MeshRefRecord(const std::string& libraryEntryName, std::int32_t meshCount);

// Inserts the fixed compound-model layout into an empty tree, with `meshDataStream` as
// the "VMeshData" payload. `meshes` must not be empty: its first mesh, whatever it is,
// gives the base name, from which "<base>.lod0.vms" and "<base>.3db" are composed at
// full length.
void BuildCompoundLayout(NodeTree& tree, const MeshList& meshes, Bytes meshDataStream);

// --- Nearest face ------------------------------------------------------------------------

// The nearest-face search behind hardpoint orientations, in about logarithmic time per
// hardpoint: a tree of boxes over the candidate faces' centres, each node halving its
// centres at the median along the longest side of their box, built once per export.
//
// It finds exactly the face that scanning every candidate in order would find: each face's
// distance is computed with the scan's own arithmetic, a face must be strictly nearer
// than 999999, of faces at the same distance the earlier one wins, and a box is passed by
// only when no centre inside it can come as near as the best face found so far (see
// nearest_face.cpp for why).

struct CandidateFace {
    Vector3 centre;  // ((a + b) + c) * 0.333333343f per coordinate
    Vector3 normal;
};

// The face nearest to `position` by scanning every candidate in order, or null when none
// is nearer than 999999: differences in float, squares summed and the root taken in
// double, and only a strictly nearer face replaces the best so far. For a few searches
// this costs less than building an index.
const CandidateFace* ScanForNearestCandidate(const std::vector<CandidateFace>& faces,
                                             const Vector3& position);

class NearestFaceIndex {
  public:
    // Below this many searches, scanning every face for each costs less than building
    // the tree.
    static constexpr std::size_t SearchesWorthATree = 4;

    // Indexes `faces`, which must outlive the index and stay unchanged, for about
    // `searches` searches: fewer than SearchesWorthATree only scan. Both find the same
    // faces.
    explicit NearestFaceIndex(const std::vector<CandidateFace>& faces,
                              std::size_t searches = std::numeric_limits<std::size_t>::max());

    // The face nearest to `position`, or null when none is nearer than 999999.
    //
    // `hint`, a face of `faces` (or null), is weighed first: it changes only how much
    // of the tree is searched, never the answer. Hardpoints placed near one another
    // pass the previous one's face.
    const CandidateFace* FindNearest(const Vector3& position,
                                     const CandidateFace* hint = nullptr) const;

  private:
    // Bounds of centres: a box of one point grows to take in others.
    struct Box {
        Vector3 low;
        Vector3 high;
        void Include(const Box& other) {
            low = {std::min(low.x, other.low.x), std::min(low.y, other.low.y),
                   std::min(low.z, other.low.z)};
            high = {std::max(high.x, other.high.x), std::max(high.y, other.high.y),
                    std::max(high.z, other.high.z)};
        }
    };
    // The centres centres_[begin, end) and their box; an inner node's two halves are
    // nodes_[firstChild] and nodes_[firstChild + 1], a leaf has firstChild 0.
    struct Node {
        Box box;
        std::uint32_t begin = 0;
        std::uint32_t end = 0;
        std::uint32_t firstChild = 0;
    };
    // A finite centre and the index of its face in the faces given.
    struct Centre {
        Vector3 at;
        std::uint32_t face;
    };
    struct Best;

    // Makes nodes_[node] over centres_[begin, end), and its subtree.
    void Build(std::uint32_t node, std::uint32_t begin, std::uint32_t end);
    // The box of centres_[begin], centres_[begin + step], ... before `end`.
    Box BoxOf(std::uint32_t begin, std::uint32_t end, std::uint32_t step) const;
    // The least distance, as the scan computes distances, from `p` to any centre in
    // the box of nodes_[node].
    double Bound(const Vector3& p, std::uint32_t node) const;
    void Search(std::uint32_t node, const Vector3& position, Best& best) const;

    const std::vector<CandidateFace>& faces_;
    std::vector<Centre> centres_;  // leaf by leaf
    std::vector<Node> nodes_;      // the root first; empty when no centre is finite
    bool scans_ = false;           // every face in order for each search, no tree
};

// --- Hardpoints --------------------------------------------------------------------------

// The meshes flagged as hardpoints at extraction become nodes of the file's
// "Hardpoints" branch, each with its kind and name (read from the mesh name), its
// position (from the mesh's first vertices) and its orientation (from the normal of the
// nearest face of the model's other meshes).

enum class HardpointKind { Fixed, Revolute };

struct HardpointName {
    HardpointKind kind;
    std::string name;  // the node's name; may be empty
};

// One hardpoint as its node holds it.
struct Hardpoint {
    HardpointKind kind;
    std::string name;                  // may be empty
    Vector3 position;                  // see HardpointPosition
    std::array<float, 9> orientation;  // rows m0..m2, m3..m5, m6..m8
};

// Kind and node name of a hardpoint mesh, read from its name by character position: two
// characters ("hp", which made extraction flag it), one more, "Fixed" or "Revolute" (any
// case, tried in that order), one character, then the node name ("Hp_Fixed_Gun" ->
// Fixed, "Gun"); the name is empty when the mesh name ends before it. Nothing for a mesh
// not flagged as a hardpoint (ExportMesh::isHardpoint), or whose name carries neither
// kind: such a mesh is in neither the stream nor the branch.
std::optional<HardpointName> ReadHardpointName(const ExportMesh& mesh);

// Mean of the mesh's first three vertices: ((a + b) + c) * 0.333333343f per coordinate.
// A mesh with one or two vertices gives the mean of those (the sum from the first vertex,
// times the float nearest 1/count), one without vertices the origin. Never reads past
// the vertex array.
Vector3 HardpointPosition(const ExportMesh& mesh);

// Every face that may orient a hardpoint, in list order then triangle order: faces of
// non-hardpoint meshes whose corners all lie inside the mesh's vertices and whose normal
// is not zero, each centred at ((a + b) + c) * 0.333333343f per coordinate.
std::vector<CandidateFace> CandidateFaces(const MeshList& meshes);

// The orientation the face `nearest` gives a hardpoint; the identity when it is null.
std::array<float, 9> OrientationFromFace(const CandidateFace* nearest);

// The list's hardpoints in its order: one for each mesh ReadHardpointName reads. The
// orientation comes from the candidate face whose centre is nearest to the position
// (strictly nearer than 999999; of faces at the same distance the earlier one), and is
// the identity when there is none, and for names beginning "HpEngine", "HpMount" or
// "HpThruster" (any case), which keep the model's axes.
std::vector<Hardpoint> ReadHardpoints(const MeshList& meshes);

// Inserts "Fixed", "Revolute" and, in list order, one node per hardpoint with its leaves
// ("Axis", "Max", "Min" for Revolute; then "Orientation", "Position") under `hardpoints`.
void AddHardpoints(NodeTree& tree, NodeHandle hardpoints, const MeshList& meshes);

}  // namespace cmp
