#include "modelhost/export_plan.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "plugin/plugin.h"

namespace cmp {

namespace {

// Members in the order they are added, as the README shows them.
using Json = nlohmann::ordered_json;

const char* RoleName(MeshRole role) {
    switch (role) {
        case MeshRole::Geometry:
            return "geometry";
        case MeshRole::FixedHardpoint:
            return "fixed hardpoint";
        case MeshRole::RevoluteHardpoint:
            return "revolute hardpoint";
        case MeshRole::LeftOut:
            break;
    }
    return "left out";
}

Json MeshJson(const PlannedMesh& mesh) {
    Json json = {{"name", mesh.meshName},
                 {"role", RoleName(mesh.role)},
                 {"vertices", mesh.vertexCount},
                 {"triangles", mesh.triangleCount}};
    switch (mesh.role) {
        case MeshRole::Geometry:
            json["material"] = mesh.materialName.empty() ? Json() : Json(mesh.materialName);
            break;
        case MeshRole::FixedHardpoint:
        case MeshRole::RevoluteHardpoint:
            json["hardpoint"] = mesh.hardpointName;
            break;
        case MeshRole::LeftOut:
            json["reason"] = LeftOutReason;
            break;
    }
    return json;
}

// JSON has no number for NaN; the library would write null for it anyway, but saying so
// here keeps the rule in one visible place.
Json Lengths(const std::array<double, 3>& size) {
    Json lengths = Json::array();
    for (double length : size) {
        lengths.push_back(std::isfinite(length) ? Json(length) : Json());
    }
    return lengths;
}

// A total over its limit: the count and the limit in the kind's unit, and the mesh at
// which the total passes it.
Json TotalJson(const char* kind, const FormatProblem& problem) {
    return {{"kind", kind},
            {"mesh", problem.meshName},
            {"count", problem.count},
            {"limit", problem.limit}};
}

Json ProblemJson(const FormatProblem& problem) {
    switch (problem.kind) {
        case FormatProblemKind::TooManyMeshes:
            return TotalJson("too many meshes", problem);
        case FormatProblemKind::TooManyCorners:
            return TotalJson("too many corners", problem);
        case FormatProblemKind::TooManyVertices:
            return TotalJson("too many vertices", problem);
        case FormatProblemKind::VertexOutOfRange:
            return {{"kind", "vertex out of range"},
                    {"mesh", problem.meshName},
                    {"vertex", problem.count},
                    {"vertexCount", problem.limit},
                    {"triangle", problem.at}};
        case FormatProblemKind::NotFinite:
            break;
    }
    return {{"kind", "not finite"}, {"mesh", problem.meshName}, {"vertex", problem.at}};
}

// The plug-in's reasons in its words, and the same reasons field by field; past
// MaxListedProblems the words sum up the rest in a last reason, and "unlistedProblems"
// counts them.
Json RefusalJson(const std::vector<FormatProblem>& problems) {
    Json listed = Json::array();
    const std::size_t count = std::min(problems.size(), MaxListedProblems);
    for (std::size_t i = 0; i < count; ++i) {
        listed.push_back(ProblemJson(problems[i]));
    }
    return {{"verdict", "refused"},
            {"reasons", RefusalReasons(problems)},
            {"problems", std::move(listed)},
            {"unlistedProblems", problems.size() - count}};
}

Json VerdictJson(const ExportPlan& plan) {
    if (plan.isEmpty) {
        return {{"verdict", "empty"}, {"warning", EmptyModelText}};
    }
    if (!plan.formatProblems.empty()) {
        return RefusalJson(plan.formatProblems);
    }
    return {{"verdict", "export"},
            {"geometryMeshes", CountOf(plan, MeshRole::Geometry)},
            {"fixedHardpoints", CountOf(plan, MeshRole::FixedHardpoint)},
            {"revoluteHardpoints", CountOf(plan, MeshRole::RevoluteHardpoint)},
            {"leftOut", CountOf(plan, MeshRole::LeftOut)}};
}

Json Warning(const char* kind, const std::optional<std::string>& mesh, const std::string& text) {
    Json warning = {{"kind", kind}};
    if (mesh) {
        warning["mesh"] = *mesh;
    }
    warning["message"] = text;
    return warning;
}

// What modelhost tells on standard error before an export, in that order.
Json WarningsJson(const ListedRun& run, const ExportPlan& plan) {
    Json warnings = Json::array();
    if (!run.droppedNote.empty()) {
        warnings.push_back(Warning("dropped points and lines", std::nullopt, run.droppedNote));
    }
    if (std::optional<std::string> naming = NamingWarning(plan)) {
        warnings.push_back(Warning("named after a hardpoint mesh", plan.baseName, *naming));
    }
    for (const PlannedMesh& mesh : plan.meshes) {
        if (mesh.role == MeshRole::LeftOut) {
            warnings.push_back(Warning("left out", mesh.meshName, LeftOutWarning(mesh)));
        }
    }
    return warnings;
}

}  // namespace

std::string ListJson(const ListedRun& run, const ExportPlan& plan) {
    Json meshes = Json::array();
    for (const PlannedMesh& mesh : plan.meshes) {
        meshes.push_back(MeshJson(mesh));
    }
    Json namedAfter;
    if (!plan.isEmpty) {
        namedAfter = {
            {"mesh", plan.baseName},
            {"nodes", Json::array({plan.baseName + ".3db", plan.baseName + ".lod0.vms"})}};
    }
    Json size;
    if (plan.size) {
        size = {{"model", Lengths(plan.size->model)}, {"file", Lengths(plan.size->file)}};
    }
    const Json document = {
        {"format", ListJsonFormat},
        {"modelhost", run.version},
        {"plugIn",
         {{"file", run.plugInFile},
          {"kind", run.plugInKind},
          {"title", run.plugInTitle ? Json(*run.plugInTitle) : Json()}}},
        {"model",
         {{"file", run.modelPath},
          {"meshes", run.meshCount},
          {"materials", run.materialCount},
          {"droppedPoints", run.droppedPoints},
          {"droppedLines", run.droppedLines}}},
        {"warnings", WarningsJson(run, plan)},
        {"meshes", std::move(meshes)},
        {"namedAfter", std::move(namedAfter)},
        {"size", std::move(size)},
        {"export", VerdictJson(plan)},
    };
    return document.dump(-1, ' ', true, Json::error_handler_t::replace) + "\n";
}

}  // namespace cmp
