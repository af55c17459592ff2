// What an export would make of the host's model, told before any dialog opens: each
// mesh as geometry, a hardpoint or left out, and whether the plug-in would refuse the
// model. The plug-in's own extraction, hardpoint rules and format check decide, so the
// plan shows what the export sees rather than a second reading of the model. Printed for
// people by --list, and for programs by --list --json and --plan.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
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

// -- The plan as modelhost prints it: names and the plug-in's reasons escaped for the
// terminal.

// Why a left-out mesh is left out.
inline constexpr const char* LeftOutReason =
    "name begins with Hp but names neither Fixed nor Revolute";

// One line per mesh, two spaces in, then the verdict; every line ends with '\n':
//   Hull: 20 vertices, 12 triangles, material 'HullPlate'
//   Hp_Fixed_Gun: 3 vertices, Fixed hardpoint 'Gun'
//   Hp_Gun01: 3 vertices, left out: name begins with Hp but names neither Fixed nor Revolute
// Then the name the model gets and its size:
//   named after the first mesh 'Hull': Hull.3db, Hull.lod0.vms
//   size: 6.00 x 3.00 x 24.00 in the model, 0.065 x 0.033 x 0.261 in the file
// The verdict counts what the file will hold ("export: 1 geometry mesh, 1 Fixed
// hardpoint, 0 Revolute hardpoints, 1 left out"), or says that the plug-in would refuse
// the model, with its reasons below, or that it would find the model empty.
std::string PlanText(const ExportPlan& plan);

// The warning, for standard error (without a prefix), when the mesh that names the model
// is a hardpoint mesh; nothing otherwise.
std::optional<std::string> NamingWarning(const ExportPlan& plan);

// The line naming a left-out mesh, for standard error (without a prefix).
std::string LeftOutWarning(const PlannedMesh& mesh);

// LeftOutWarning for each left-out mesh, in the plan's order.
std::vector<std::string> LeftOutWarnings(const ExportPlan& plan);

// -- The plan as `modelhost --list --json` prints it: one JSON document for programs (the
// Blender add-on among them), carrying what the --list text tells people. Its fields are
// an interface: README.md, section modelhost, lists them, and a change that renames or
// removes one, or changes what it means, raises ListJsonFormat.

// The document's "format". Fields may be added without raising it.
inline constexpr int ListJsonFormat = 1;

// What the run knows besides the plan: the plug-in it loaded and the model as imported.
struct ListedRun {
    std::string version;  // modelhost's
    std::string plugInFile;
    std::int32_t plugInKind = 0;
    std::optional<std::string> plugInTitle;  // none when the plug-in gives a null title
    std::string modelPath;                   // as the user gave it
    std::int32_t meshCount = 0;              // as the host reports them
    std::int32_t materialCount = 0;
    std::uint32_t droppedPoints = 0;
    std::uint32_t droppedLines = 0;
    std::string droppedNote;  // the import's warning about them (DroppedGeometryNote); may be empty
};

// The whole document, compact, and a newline. Names and paths are the model's and the
// system's bytes as they are: all of the text is ASCII (other characters as \u escapes),
// and a byte that is not part of valid UTF-8 becomes U+FFFD, so that the document stays
// valid JSON whatever the model file held. A size that is not a number is null.
std::string ListJson(const ListedRun& run, const ExportPlan& plan);

}  // namespace cmp
