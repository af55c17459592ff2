#include "modelhost/export_plan.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <string_view>

#include "core/text.h"
#include "plugin/plugin.h"

namespace cmp {

namespace {

std::string Count(std::size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string Quoted(const std::string& name) {
    std::string quoted = "'";
    quoted += TerminalText(name);
    quoted += '\'';
    return quoted;
}

std::string MeshLine(const PlannedMesh& mesh) {
    // "1 vertices" and "1 triangles", as the summary always said them: scripts read
    // these lines.
    std::string line = "  " + TerminalText(mesh.meshName) + ": " +
                       std::to_string(mesh.vertexCount) + " vertices, ";
    switch (mesh.role) {
        case MeshRole::Geometry:
            return line + std::to_string(mesh.triangleCount) + " triangles, material " +
                   (mesh.materialName.empty() ? "none" : Quoted(mesh.materialName)) + "\n";
        case MeshRole::FixedHardpoint:
            return line + "Fixed hardpoint " + Quoted(mesh.hardpointName) + "\n";
        case MeshRole::RevoluteHardpoint:
            return line + "Revolute hardpoint " + Quoted(mesh.hardpointName) + "\n";
        case MeshRole::LeftOut:
            break;
    }
    return line + "left out: " + LeftOutReason + "\n";
}

std::string Tally(const ExportPlan& plan) {
    return "export: " +
           Count(CountOf(plan, MeshRole::Geometry), "geometry mesh", "geometry meshes") + ", " +
           Count(CountOf(plan, MeshRole::FixedHardpoint), "Fixed hardpoint", "Fixed hardpoints") +
           ", " +
           Count(CountOf(plan, MeshRole::RevoluteHardpoint), "Revolute hardpoint",
                 "Revolute hardpoints") +
           ", " + std::to_string(CountOf(plan, MeshRole::LeftOut)) + " left out\n";
}

// The plug-in's reasons, one a line, indented under the verdict; a line break in a mesh
// name is shown, not followed.
std::string Reasons(const std::vector<FormatProblem>& problems) {
    std::string lines;
    for (const std::string& reason : RefusalReasons(problems)) {
        lines += "  " + TerminalText(reason) + "\n";
    }
    return lines;
}

// One length of the size line. The line is there to show a unit mistake, so no length
// may hide as a row of zeros: one that `decimals` would show with fewer than two
// significant digits gets three of them ("0.000217", "1.5e-07"), and a length that is
// not a number (a position that is not one) says so. Zero stays as the decimals show it.
std::string Length(double length, int decimals) {
    if (std::isnan(length)) {
        return "not a number";
    }
    if (std::isinf(length)) {
        return "infinite";
    }
    char text[400];
    if (length != 0 && length < std::pow(10.0, 1 - decimals)) {
        std::snprintf(text, sizeof text, "%.3g", length);
    } else {
        std::snprintf(text, sizeof text, "%.*f", decimals, length);
    }
    return text;
}

std::string Dimensions(const std::array<double, 3>& size, int decimals) {
    return Length(size[0], decimals) + " x " + Length(size[1], decimals) + " x " +
           Length(size[2], decimals);
}

// Which mesh names the model, and the names it gives the file's nodes.
std::string NameLine(const ExportPlan& plan) {
    const std::string base = TerminalText(plan.baseName);
    return "named after the first mesh " + Quoted(plan.baseName) + ": " + base + ".3db, " + base +
           ".lod0.vms\n";
}

std::string SizeLine(const ExportPlan& plan) {
    if (!plan.size) {
        return "size: no geometry\n";
    }
    return "size: " + Dimensions(plan.size->model, 2) + " in the model, " +
           Dimensions(plan.size->file, 3) + " in the file\n";
}

}  // namespace

std::string PlanText(const ExportPlan& plan) {
    if (plan.isEmpty) {
        return std::string("export: nothing; the plug-in warns: ") + EmptyModelText + "\n";
    }
    std::string text;
    for (const PlannedMesh& mesh : plan.meshes) {
        text += MeshLine(mesh);
    }
    text += NameLine(plan) + SizeLine(plan);
    if (!plan.formatProblems.empty()) {
        return text + "export: refused, nothing would be written:\n" + Reasons(plan.formatProblems);
    }
    return text + Tally(plan);
}

std::optional<std::string> NamingWarning(const ExportPlan& plan) {
    if (plan.isEmpty || plan.meshes.empty() || plan.meshes.front().role == MeshRole::Geometry) {
        return std::nullopt;
    }
    const std::string base = TerminalText(plan.baseName);
    return "the model is named after its first mesh " + Quoted(plan.baseName) +
           ", a hardpoint mesh: " + base + ".3db, " + base +
           ".lod0.vms (--first MESH names it after another mesh)";
}

std::string LeftOutWarning(const PlannedMesh& mesh) {
    return "mesh " + Quoted(mesh.meshName) + " is left out of the export: " + LeftOutReason;
}

std::vector<std::string> LeftOutWarnings(const ExportPlan& plan) {
    std::vector<std::string> warnings;
    for (const PlannedMesh& mesh : plan.meshes) {
        if (mesh.role == MeshRole::LeftOut) {
            warnings.push_back(LeftOutWarning(mesh));
        }
    }
    return warnings;
}

}  // namespace cmp
