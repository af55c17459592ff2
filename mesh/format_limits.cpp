#include "mesh/format_limits.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace cmp {

namespace {

std::string Quoted(const ExportMesh& mesh) {
    std::string quoted = "\"";
    quoted += mesh.meshName;
    quoted += '"';
    return quoted;
}

// Totals of the meshes that go into the stream, and the mesh at which each total first
// passes its limit, so the message can point at it.
struct StreamTotals {
    std::int64_t meshes = 0;
    std::int64_t indices = 0;
    std::int64_t vertices = 0;
    const ExportMesh* firstPastMeshes = nullptr;
    const ExportMesh* firstPastIndices = nullptr;
    const ExportMesh* firstPastVertices = nullptr;
};

StreamTotals SumStreamTotals(const MeshList& meshes) {
    StreamTotals totals;
    for (const ExportMesh& mesh : meshes) {
        if (mesh.isHardpoint) {
            continue;
        }
        totals.meshes += 1;
        totals.indices += 3 * static_cast<std::int64_t>(mesh.triangles.size() / 3);
        totals.vertices += static_cast<std::int64_t>(mesh.vertices.size());
        if (totals.meshes > MaxStreamMeshes && totals.firstPastMeshes == nullptr) {
            totals.firstPastMeshes = &mesh;
        }
        if (totals.indices > MaxStreamIndices && totals.firstPastIndices == nullptr) {
            totals.firstPastIndices = &mesh;
        }
        if (totals.vertices > MaxStreamVertices && totals.firstPastVertices == nullptr) {
            totals.firstPastVertices = &mesh;
        }
    }
    return totals;
}

void CheckTotals(const MeshList& meshes, std::vector<std::string>& problems) {
    const StreamTotals totals = SumStreamTotals(meshes);
    if (totals.firstPastMeshes != nullptr) {
        problems.push_back("the model has " + std::to_string(totals.meshes) +
                           " meshes besides hardpoints (from mesh " +
                           Quoted(*totals.firstPastMeshes) + " on, too many); at most " +
                           std::to_string(MaxStreamMeshes) + " fit");
    }
    if (totals.firstPastIndices != nullptr) {
        problems.push_back("the model's meshes have " + std::to_string(totals.indices / 3) +
                           " triangles in all (" + std::to_string(totals.indices) +
                           " corners; mesh " + Quoted(*totals.firstPastIndices) +
                           " passes the limit); at most " + std::to_string(MaxStreamIndices / 3) +
                           " triangles (" + std::to_string(MaxStreamIndices) + " corners) fit");
    }
    if (totals.firstPastVertices != nullptr) {
        problems.push_back("the model's meshes have " + std::to_string(totals.vertices) +
                           " vertices in all (mesh " + Quoted(*totals.firstPastVertices) +
                           " passes the limit); at most " + std::to_string(MaxStreamVertices) +
                           " fit");
    }
}

void CheckCorners(const ExportMesh& mesh, std::vector<std::string>& problems) {
    const std::size_t vertexCount = mesh.vertices.size();
    for (std::size_t k = 0; k < mesh.triangles.size(); ++k) {
        if (mesh.triangles[k] >= vertexCount) {
            problems.push_back("mesh " + Quoted(mesh) + " uses vertex " +
                               std::to_string(mesh.triangles[k]) + " but has " +
                               std::to_string(vertexCount) + " vertices (triangle " +
                               std::to_string(k / 3) + ")");
            return;  // one line per mesh is enough to find it
        }
    }
}

void CheckFiniteValues(const ExportMesh& mesh, std::vector<std::string>& problems) {
    for (std::size_t j = 0; j < mesh.vertices.size(); ++j) {
        if (!HasFiniteValues(mesh.vertices[j])) {
            problems.push_back("mesh " + Quoted(mesh) +
                               " has a position or texture coordinate "
                               "that is not a finite number (vertex " +
                               std::to_string(j) + ")");
            return;
        }
    }
}

std::string JoinProblems(const std::vector<std::string>& problems) {
    std::string message;
    const std::size_t listed = std::min(problems.size(), MaxListedProblems);
    for (std::size_t i = 0; i < listed; ++i) {
        message += (i == 0 ? "" : "\n") + problems[i];
    }
    if (problems.size() > listed) {
        message += "\nand " + std::to_string(problems.size() - listed) + " more problems";
    }
    return message;
}

}  // namespace

Status CheckFormatLimits(const MeshList& meshes) {
    std::vector<std::string> problems;
    CheckTotals(meshes, problems);
    for (const ExportMesh& mesh : meshes) {
        CheckCorners(mesh, problems);
        CheckFiniteValues(mesh, problems);
    }
    if (problems.empty()) {
        return Status::Ok();
    }
    return Error{ErrorCode::ModelRefused, JoinProblems(problems)};
}

}  // namespace cmp
