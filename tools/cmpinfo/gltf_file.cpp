#include "tools/cmpinfo/gltf_file.h"

#include <filesystem>
#include <sstream>

#include "core/text.h"
#include "tools/cmpinfo/output_file.h"
#include "tools/cmpinfo/sound_model.h"

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

Bytes SerializeGltf(const tinygltf::Model& document, GltfForm form) {
    std::ostringstream stream(std::ios::out | std::ios::binary);
    tinygltf::TinyGLTF writer;
    writer.WriteGltfSceneToStream(&document, stream, true, form == GltfForm::Binary);
    const std::string text = std::move(stream).str();
    return Bytes(text.begin(), text.end());
}

Status WriteGltfFile(const tinygltf::Model& document, GltfForm form, const std::string& path) {
    // The bytes are made whole before anything touches the disk.
    return WriteOutputFile(path, SerializeGltf(document, form));
}

Status ConvertToGltf(const std::string& treePath, const std::string& outputPath) {
    const std::optional<GltfForm> form = GltfFormFor(outputPath);
    if (!form) {
        return Error{ErrorCode::BadUsage,
                     "'" + outputPath + "' names no glTF file: it must end in .gltf or .glb"};
    }
    const Result<StoredModel> model = LoadSoundModel(treePath);
    if (!model) {
        return model.status();
    }
    if (IsSameFile(outputPath, treePath)) {
        return Error{ErrorCode::BadUsage,
                     outputPath + ": the glTF would replace the file it is made from"};
    }
    const Result<tinygltf::Model> document =
        MakeGltfModel(model.value(), std::filesystem::path(treePath).filename().string());
    if (!document) {
        return Error{document.code(), treePath + ": " + document.message()};
    }
    if (Status written = WriteGltfFile(document.value(), *form, outputPath); !written) {
        return Error{written.code(), "cannot write the glTF file: " + written.message()};
    }
    return Status::Ok();
}

}  // namespace cmp
