#include "standin/export_plan.h"

#include <optional>

#include "mesh/export_mesh.h"
#include "mesh/extract.h"
#include "mesh/format_limits.h"
#include "tree/hardpoints.h"
#include "tree/mesh_name.h"

namespace cmp {

namespace {

PlannedMesh PlanMesh(const ExportMesh& mesh) {
    PlannedMesh planned;
    planned.meshName = std::string(MeshNameOf(mesh));
    planned.vertexCount = mesh.vertices.size();
    planned.triangleCount = mesh.GetTriangleCount();
    planned.materialName = mesh.materialName;
    if (!mesh.isHardpoint) {
        return planned;
    }
    // The stream leaves out every mesh whose name begins with "hp"; the hardpoint branch
    // takes only those whose kind it can read. A mesh that falls between the two is in
    // neither.
    const std::optional<HardpointName> parsed =
        ParseHardpointName(std::string_view(planned.meshName));
    if (!parsed) {
        planned.role = MeshRole::LeftOut;
        return planned;
    }
    planned.role = parsed->kind == HardpointKind::Fixed ? MeshRole::FixedHardpoint
                                                        : MeshRole::RevoluteHardpoint;
    planned.hardpointName = parsed->name;
    return planned;
}

}  // namespace

ExportPlan PlanExport(ztModel model) {
    ExportPlan plan;
    // The export's first question, asked before its save dialog.
    if (model == nullptr || ztModel_GetMeshCount(model) <= 0) {
        plan.isEmpty = true;
        return plan;
    }
    MeshList meshes;
    ExtractMeshes(model, meshes);
    plan.isEmpty = meshes.empty();
    plan.formatCheck = CheckFormatLimits(meshes);
    plan.meshes.reserve(meshes.size());
    for (const ExportMesh& mesh : meshes) {
        plan.meshes.push_back(PlanMesh(mesh));
    }
    return plan;
}

}  // namespace cmp
