#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "mesh/export_mesh.h"
#include "tree/node_tree.h"

namespace cmp {

enum class HardpointKind { Fixed, Revolute };

struct HardpointName {
    HardpointKind kind;
    std::string name;  // may be empty
};

// Kind and hardpoint name from a hardpoint mesh name, read by character position: "hp"
// (any case), one character, "Fixed" or "Revolute" (any case, tried in that order), one
// character, then the hardpoint name ("Hp_Fixed_Gun" -> Fixed, "Gun"). The name is empty
// when the mesh name ends before it. Nothing when the mesh name is null, is not a
// hardpoint name, or carries neither kind.
std::optional<HardpointName> ParseHardpointName(const char* meshName);
std::optional<HardpointName> ParseHardpointName(std::string_view meshName);

// Mean of the mesh's first three vertices: ((a + b) + c) * 0.333333343f per coordinate.
// A mesh with one or two vertices gives the mean of those (the sum from the first vertex,
// times the float nearest 1/count), one without vertices the origin. Never reads past
// the vertex array.
Vector3 HardpointPosition(const ExportMesh& mesh);

// Nine reals, rows m0..m2, m3..m5, m6..m8, built from the normal of the non-hardpoint
// face whose centre is nearest to `position` (strictly nearer than 999999; the earlier
// face wins a tie). The identity for names beginning "HpEngine", "HpMount" or
// "HpThruster" (any case), and when no face is a candidate. Faces with a zero normal or
// a corner outside their mesh's vertices are never candidates.
std::array<float, 9> HardpointOrientation(const MeshList& meshes, const Vector3& position,
                                          const std::string& hardpointName);

// Inserts "Fixed", "Revolute" and, in list order, one node per hardpoint mesh of either
// kind with its leaves ("Axis", "Max", "Min" for Revolute; then "Orientation",
// "Position") under `hardpoints`.
void AddHardpoints(NodeTree& tree, NodeHandle hardpoints, const MeshList& meshes);

}  // namespace cmp
