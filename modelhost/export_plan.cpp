#include "modelhost/export_plan.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

#include "mesh/mesh.h"
#include "tree/tree.h"

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
    const std::optional<HardpointName> parsed = ReadHardpointName(mesh);
    if (!parsed) {
        planned.role = MeshRole::LeftOut;
        return planned;
    }
    planned.role = parsed->kind == HardpointKind::Fixed ? MeshRole::FixedHardpoint
                                                        : MeshRole::RevoluteHardpoint;
    planned.hardpointName = parsed->name;
    return planned;
}

// Smallest and largest coordinate seen on each axis. A coordinate that is not a number
// makes its axis's size not a number: min and max would pass it by and leave the axis
// looking empty.
class Extent {
  public:
    void Add(const float (&point)[3]) {
        for (std::size_t axis = 0; axis < 3; ++axis) {
            if (std::isnan(point[axis])) {
                notANumber_[axis] = true;
                continue;
            }
            low_[axis] = std::min(low_[axis], static_cast<double>(point[axis]));
            high_[axis] = std::max(high_[axis], static_cast<double>(point[axis]));
        }
        empty_ = false;
    }
    bool IsEmpty() const { return empty_; }
    std::array<double, 3> Size() const {
        std::array<double, 3> size{};
        for (std::size_t axis = 0; axis < 3; ++axis) {
            size[axis] = notANumber_[axis] ? std::numeric_limits<double>::quiet_NaN()
                                           : high_[axis] - low_[axis];
        }
        return size;
    }

  private:
    static constexpr double Infinity = std::numeric_limits<double>::infinity();
    std::array<double, 3> low_{Infinity, Infinity, Infinity};
    std::array<double, 3> high_{-Infinity, -Infinity, -Infinity};
    std::array<bool, 3> notANumber_{};
    bool empty_ = true;
};

// The host's own coordinates for the model's size, the extracted ones for the file's:
// extraction keeps one record per host mesh and one vertex per host vertex, in order.
std::optional<ModelSize> SizeOf(ztModel model, const MeshList& meshes) {
    Extent inModel;
    Extent inFile;
    for (std::size_t i = 0; i < meshes.size(); ++i) {
        const ExportMesh& mesh = meshes[i];
        const ztMesh hostMesh = ztModel_GetMeshAt(model, static_cast<std::int32_t>(i));
        if (mesh.isHardpoint || hostMesh == nullptr) {
            continue;
        }
        for (std::size_t v = 0; v < mesh.vertices.size(); ++v) {
            float position[3] = {0.0f, 0.0f, 0.0f};
            if (const ztVertex vertex = ztMesh_GetVertexAt(hostMesh, static_cast<std::int32_t>(v));
                vertex != nullptr) {
                ztVertex_GetVertex(vertex, position);
            }
            inModel.Add(position);
            inFile.Add(mesh.vertices[v].position);
        }
    }
    if (inModel.IsEmpty()) {
        return std::nullopt;
    }
    return ModelSize{inModel.Size(), inFile.Size()};
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
    plan.formatProblems = FindFormatProblems(meshes);
    if (!meshes.empty()) {
        plan.baseName = std::string(MeshNameOf(meshes.front()));
    }
    plan.size = SizeOf(model, meshes);
    plan.meshes.reserve(meshes.size());
    for (const ExportMesh& mesh : meshes) {
        plan.meshes.push_back(PlanMesh(mesh));
    }
    return plan;
}

std::size_t CountOf(const ExportPlan& plan, MeshRole role) {
    return static_cast<std::size_t>(
        std::count_if(plan.meshes.begin(), plan.meshes.end(),
                      [role](const PlannedMesh& mesh) { return mesh.role == role; }));
}

}  // namespace cmp
