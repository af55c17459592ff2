#include "modelhost/import_rules.h"

#include <algorithm>
#include <filesystem>

#include "core/text.h"
#include "mesh/mesh.h"

namespace cmp {

namespace {

std::string LowerCaseExtension(const std::string& path) {
    std::string extension = std::filesystem::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(), FoldAsciiCase);
    return extension;
}

bool IsIndexedId(std::string_view name, std::string_view array) {
    if (name.size() < array.size() + 3 || name.substr(0, array.size()) != array ||
        name[array.size()] != '[' || name.back() != ']') {
        return false;
    }
    std::string_view digits = name.substr(array.size() + 1, name.size() - array.size() - 2);
    return std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

bool IsGltfPath(const std::string& path) {
    const std::string extension = LowerCaseExtension(path);
    return extension == ".gltf" || extension == ".glb";
}

bool IsBinaryGltfPath(const std::string& path) {
    return LowerCaseExtension(path) == ".glb";
}

bool IsColladaPath(const std::string& path) {
    const std::string extension = LowerCaseExtension(path);
    return extension == ".dae" || extension == ".zae";
}

bool IsMadeUpName(std::string_view name) {
    return name.empty() || (name.front() == '<' && name.back() == '>') || name == "defaultobject" ||
           name.rfind("$ColladaAutoName$", 0) == 0 || IsIndexedId(name, "nodes") ||
           IsIndexedId(name, "meshes");
}

// Without this every mesh of an unnamed node would be called "ROOT". A single root node
// is the file's own, and keeps whatever name the user gave it.
bool IsAddedGltfRoot(std::string_view rootName, std::size_t meshCount, std::size_t childCount) {
    return meshCount == 0 && childCount > 1 && rootName == "ROOT";
}

bool NamesMeshes(const NamingNode& node, bool skipRoot) {
    return !IsMadeUpName(node.name) && !(node.isRoot && skipRoot);
}

std::string HostMeshName(const NamingNode* namingNode, std::string_view meshName,
                         const std::string& fileName, std::int32_t meshesAdded) {
    std::string name;
    bool fromFileName = false;
    if (namingNode != nullptr) {
        name = namingNode->name;
        fromFileName = namingNode->isRoot && name == fileName;
    }
    if (name.empty() && !IsMadeUpName(meshName)) {
        name = meshName;
    }
    if (name.empty()) {
        name = fileName + "_" + std::to_string(meshesAdded);
        fromFileName = true;
    }
    if (fromFileName && IsHardpointName(name.c_str())) {
        name = "Mesh_" + name;
    }
    return name;
}

bool KeepsPointsAsHardpoint(const std::string& hostName, bool nodeHasTriangles) {
    return IsHardpointName(hostName.c_str()) && !nodeHasTriangles;
}

void CountDroppedFace(ImportSummary& summary, unsigned corners) {
    std::uint32_t& count = corners == 1 ? summary.droppedPoints : summary.droppedLines;
    if (count < UINT32_MAX) {
        ++count;
    }
}

double LinearDeterminant(const LinearPart& m) {
    const double a = m[0][0], b = m[0][1], c = m[0][2];
    const double d = m[1][0], e = m[1][1], f = m[1][2];
    const double g = m[2][0], h = m[2][1], i = m[2][2];
    return a * (e * i - f * h) - b * (d * i - f * g) + c * (d * h - e * g);
}

bool IsMirroring(const LinearPart& m) {
    return LinearDeterminant(m) < 0;
}

Error TooManyVertices(const std::string& meshName, const std::string& fileName,
                      std::uint64_t vertexCount) {
    return Error{ErrorCode::ImportFailed,
                 "mesh '" + TerminalText(meshName) + "' in '" + TerminalText(fileName) + "' has " +
                     std::to_string(vertexCount) + " vertices; a mesh may have at most " +
                     std::to_string(MaxImportedMeshVertices)};
}

}  // namespace cmp
