// The plan of an export as modelhost prints it: names and the plug-in's reasons escaped
// for the terminal.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "modelhost/export_plan.h"

namespace cmp {

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

}  // namespace cmp
