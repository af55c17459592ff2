#include "mesh/mesh.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace cmp {

namespace {

std::string NameOf(const ExportMesh& mesh) {
    return std::string(MeshNameOf(mesh));
}

std::string Quoted(const std::string& meshName) {
    return "\"" + meshName + "\"";
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

void CheckTotals(const MeshList& meshes, std::vector<FormatProblem>& problems) {
    const StreamTotals totals = SumStreamTotals(meshes);
    if (totals.firstPastMeshes != nullptr) {
        problems.push_back({FormatProblemKind::TooManyMeshes, NameOf(*totals.firstPastMeshes),
                            totals.meshes, MaxStreamMeshes});
    }
    if (totals.firstPastIndices != nullptr) {
        problems.push_back({FormatProblemKind::TooManyCorners, NameOf(*totals.firstPastIndices),
                            totals.indices, MaxStreamIndices});
    }
    if (totals.firstPastVertices != nullptr) {
        problems.push_back({FormatProblemKind::TooManyVertices, NameOf(*totals.firstPastVertices),
                            totals.vertices, MaxStreamVertices});
    }
}

void CheckCorners(const ExportMesh& mesh, std::vector<FormatProblem>& problems) {
    const std::size_t vertexCount = mesh.vertices.size();
    for (std::size_t k = 0; k < mesh.triangles.size(); ++k) {
        if (mesh.triangles[k] >= vertexCount) {
            problems.push_back({FormatProblemKind::VertexOutOfRange, NameOf(mesh),
                                mesh.triangles[k], static_cast<std::int64_t>(vertexCount), k / 3});
            return;  // one line per mesh is enough to find it
        }
    }
}

void CheckFiniteValues(const ExportMesh& mesh, std::vector<FormatProblem>& problems) {
    for (std::size_t j = 0; j < mesh.vertices.size(); ++j) {
        if (!HasFiniteValues(mesh.vertices[j])) {
            problems.push_back({FormatProblemKind::NotFinite, NameOf(mesh), 0, 0, j});
            return;
        }
    }
}

}  // namespace

std::vector<FormatProblem> FindFormatProblems(const MeshList& meshes) {
    std::vector<FormatProblem> problems;
    CheckTotals(meshes, problems);
    for (const ExportMesh& mesh : meshes) {
        CheckCorners(mesh, problems);
        CheckFiniteValues(mesh, problems);
    }
    return problems;
}

namespace {

// The problem in the plug-in's words, one line, for example:
//   mesh "Hull" uses vertex 70 but has 64 vertices (triangle 3)
std::string FormatProblemText(const FormatProblem& problem) {
    const std::string mesh = Quoted(problem.meshName);
    switch (problem.kind) {
        case FormatProblemKind::TooManyMeshes:
            return "the model has " + std::to_string(problem.count) +
                   " meshes besides hardpoints (from mesh " + mesh + " on, too many); at most " +
                   std::to_string(problem.limit) + " fit";
        case FormatProblemKind::TooManyCorners:
            return "the model's meshes have " + std::to_string(problem.count / 3) +
                   " triangles in all (" + std::to_string(problem.count) + " corners; mesh " +
                   mesh + " passes the limit); at most " + std::to_string(problem.limit / 3) +
                   " triangles (" + std::to_string(problem.limit) + " corners) fit";
        case FormatProblemKind::TooManyVertices:
            return "the model's meshes have " + std::to_string(problem.count) +
                   " vertices in all (mesh " + mesh + " passes the limit); at most " +
                   std::to_string(problem.limit) + " fit";
        case FormatProblemKind::VertexOutOfRange:
            return "mesh " + mesh + " uses vertex " + std::to_string(problem.count) + " but has " +
                   std::to_string(problem.limit) + " vertices (triangle " +
                   std::to_string(problem.at) + ")";
        case FormatProblemKind::NotFinite:
            break;
    }
    return "mesh " + mesh +
           " has a position or texture coordinate that is not a finite number (vertex " +
           std::to_string(problem.at) + ")";
}

}  // namespace

std::vector<std::string> RefusalReasons(const std::vector<FormatProblem>& problems) {
    std::vector<std::string> reasons;
    const std::size_t listed = std::min(problems.size(), MaxListedProblems);
    for (std::size_t i = 0; i < listed; ++i) {
        reasons.push_back(FormatProblemText(problems[i]));
    }
    if (problems.size() > listed) {
        reasons.push_back("and " + std::to_string(problems.size() - listed) + " more problems");
    }
    return reasons;
}

Status RefusalOf(const std::vector<FormatProblem>& problems) {
    if (problems.empty()) {
        return Status::Ok();
    }
    std::string message;
    for (const std::string& reason : RefusalReasons(problems)) {
        message += (message.empty() ? "" : "\n") + reason;
    }
    return Error{ErrorCode::ModelRefused, message};
}

Status CheckFormatLimits(const MeshList& meshes) {
    return RefusalOf(FindFormatProblems(meshes));
}

}  // namespace cmp
