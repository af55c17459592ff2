#include "tools/cmpinfo/gltf/gltf.h"

#include <cstdio>
#include <filesystem>
#include <vector>

#include "core/text.h"
#include "files/files.h"
#include "tools/cmpinfo/read/read.h"
#include "tools/cmpinfo/report/report.h"

namespace cmp {

namespace {

bool EndsWithIgnoringAsciiCase(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() &&
           StartsWithIgnoringAsciiCase(text.substr(text.size() - suffix.size()), suffix);
}

}  // namespace

std::optional<GltfForm> GltfFormFor(std::string_view path) {
    if (EndsWithIgnoringAsciiCase(path, ".gltf")) {
        return GltfForm::Text;
    }
    if (EndsWithIgnoringAsciiCase(path, ".glb")) {
        return GltfForm::Binary;
    }
    return std::nullopt;
}

std::string DescribeAdjustments(const GltfAdjustments& adjustments) {
    std::string lines;
    if (adjustments.normalsMadeUnit > 0) {
        lines += Plural(adjustments.normalsMadeUnit, "normal", "normals") +
                 " not of unit length scaled to unit length, as glTF asks\n";
    }
    if (adjustments.meshesWithoutNormals > 0) {
        lines += Plural(adjustments.meshesWithoutNormals, "mesh has", "meshes have") +
                 " a normal of length zero, which glTF cannot hold: written without normals (the "
                 "first: \"" +
                 adjustments.firstMeshWithoutNormals + "\")\n";
    }
    if (adjustments.orientationsReplaced > 0) {
        lines += Plural(adjustments.orientationsReplaced, "hardpoint orientation is",
                        "hardpoint orientations are") +
                 " no rotation a glTF node can hold: written as the nearest rotation, with the "
                 "stored rows in the node's extras as \"orientation\" (the first: \"" +
                 adjustments.firstOrientationReplaced + "\")\n";
    }
    return lines;
}

Status ConvertToGltf(const std::string& treePath, const std::string& outputPath) {
    const std::optional<GltfForm> form = GltfFormFor(outputPath);
    if (!form) {
        return Error{ErrorCode::BadUsage,
                     "'" + outputPath + "' names no glTF file: it must end in .gltf or .glb"};
    }
    const Result<StoredModel> model = LoadCheckedModel(treePath);
    if (!model) {
        return model.status();
    }
    if (IsSameFile(outputPath, treePath)) {
        return Error{ErrorCode::BadUsage,
                     outputPath + ": the glTF would replace the file it is made from"};
    }
    const Result<GltfFile> document =
        MakeGltfFile(model.value(), std::filesystem::path(treePath).filename().string(), *form);
    if (!document) {
        return Error{document.code(), treePath + ": " + document.message()};
    }
    std::vector<BytePiece> pieces(document.value().pieces.begin(), document.value().pieces.end());
    if (Status written = WriteRequestedFile(outputPath, pieces); !written) {
        return Error{written.code(), "cannot write the glTF file: " + written.message()};
    }
    const std::string told = DescribeAdjustments(document.value().adjustments);
    for (std::size_t at = 0; at < told.size();) {
        const std::size_t end = told.find('\n', at);
        std::fprintf(stderr, "cmpinfo: %s: %s\n", treePath.c_str(),
                     told.substr(at, end - at).c_str());
        at = end + 1;
    }
    return Status::Ok();
}

}  // namespace cmp
