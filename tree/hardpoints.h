#pragma once

#include <array>
#include <optional>
#include <string>

#include "mesh/export_mesh.h"
#include "tree/node_tree.h"

enum class HardpointKind { Fixed, Revolute };

struct HardpointName {
    HardpointKind kind;
    std::string name;  // may be empty
};

// Kind and hardpoint name from a hardpoint mesh name ("Hp_Fixed_Gun" -> Fixed, "Gun");
// nothing when the name is not a hardpoint name or carries neither kind.
std::optional<HardpointName> ParseHardpointName(const char* meshName);

// Mean of the mesh's first three vertices (fewer: of those it has; none: the origin).
Vector3 HardpointPosition(const ExportMesh& mesh);

// Nine reals, rows m0..m2, m3..m5, m6..m8, from the normal of the face nearest to
// `position`; the identity for engine, mount and thruster names or when no face is a
// candidate.
std::array<float, 9> HardpointOrientation(const MeshList& meshes, const Vector3& position,
                                          const std::string& hardpointName);

// Inserts "Fixed", "Revolute" and one node per hardpoint mesh with its leaves under
// `hardpoints`.
void AddHardpoints(NodeTree& tree, NodeHandle hardpoints, const MeshList& meshes);
