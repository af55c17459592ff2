// What an export would make of the host's model, told before any dialog opens: each
// mesh as geometry, a hardpoint or left out, and whether the plug-in would refuse the
// model. The plug-in's own extraction, hardpoint rules and format check decide, so the
// plan shows what the export sees rather than a second reading of the model.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "host/ztModelLib.h"
#include "mesh/mesh.h"

namespace cmp {

enum class MeshRole {
    Geometry,           // goes into the mesh data stream
    FixedHardpoint,     // a node under Hardpoints/Fixed
    RevoluteHardpoint,  // a node under Hardpoints/Revolute
    LeftOut,            // a hardpoint name of neither kind: in neither part of the file
};

struct PlannedMesh {
    std::string meshName;  // as the export reads it (cut to the host's name capacity)
    MeshRole role = MeshRole::Geometry;
    std::string hardpointName;  // the node's name, for a hardpoint; may be empty
    std::size_t vertexCount = 0;
    std::size_t triangleCount = 0;
    std::string materialName;  // empty when there is none
};

// How far the geometry reaches along each axis (largest minus smallest coordinate), in
// the model's units as the host has them and in the file's, where the export has scaled
// them down: a model in the wrong unit shows here before anything is written. An axis on
// which a coordinate is not a number has the size NaN.
struct ModelSize {
    std::array<double, 3> model{};
    std::array<double, 3> file{};
};

struct ExportPlan {
    std::vector<PlannedMesh> meshes;  // host order
    // The first mesh's name, whatever that mesh is: the file's nodes "<base>.3db" and
    // "<base>.lod0.vms" are named after it.
    std::string baseName;
    // Over the vertices of the meshes that go into the mesh data stream; none when they
    // have no vertices.
    std::optional<ModelSize> size;
    // The model has no meshes (or the host reports a negative count): the plug-in warns
    // and exports nothing.
    bool isEmpty = false;
    // Why the plug-in's format check would refuse the model, in its order; none when it
    // would not. RefusalReasons (mesh/mesh.h) gives the plug-in's words.
    std::vector<FormatProblem> formatProblems;
};

// Reads `model` as an export does. A null model plans as empty.
ExportPlan PlanExport(ztModel model);

// How many of the plan's meshes have `role`.
std::size_t CountOf(const ExportPlan& plan, MeshRole role);

}  // namespace cmp
