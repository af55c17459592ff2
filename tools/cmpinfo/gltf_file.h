// `cmpinfo --gltf`: the model of a sound tree file written as a glTF 2.0 file, text with
// its buffer embedded or binary, by the same staging that the exporter writes with.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/error.h"
#include "core/little_endian.h"
#include "tools/cmpinfo/gltf_model.h"

namespace cmp {

enum class GltfForm { Text, Binary };

// The form the output's name asks for: ".gltf" text, ".glb" binary, in any letter case;
// nothing for any other name.
std::optional<GltfForm> GltfFormFor(std::string_view path);

// The whole file: text JSON with the buffer as a base64 data URI, or the binary container
// with the buffer as its second chunk.
Bytes SerializeGltf(const tinygltf::Model& document, GltfForm form);

// Writes `document` to `path` through a staged file beside it that takes the path's place
// only once whole, so that a failure never leaves half a file (and an old file stays as it
// was). The errors of the staging, with its messages.
Status WriteGltfFile(const tinygltf::Model& document, GltfForm form, const std::string& path);

// The whole conversion: reads and checks `treePath` as `cmpinfo --check` does, makes the
// document (its root named after the tree file) and writes it to `outputPath` in the form
// its name asks for. The error's message is one line for the user: why the tree file gives
// no model, which stored value glTF cannot hold, or why the output was not written.
Status ConvertToGltf(const std::string& treePath, const std::string& outputPath);

}  // namespace cmp
