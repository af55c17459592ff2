// Hardpoints: the meshes flagged as hardpoints at extraction become nodes of the file's
// "Hardpoints" branch, each with its kind and name (read from the mesh name), its
// position (from the mesh's first vertices) and its orientation (from the normal of the
// nearest face of the model's other meshes).
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "mesh/export_mesh.h"
#include "tree/nearest_face.h"
#include "tree/node_tree.h"

namespace cmp {

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
