// `cmpinfo --gltf`: the model of a tree file that passed every check, written as a glTF
// 2.0 file, text with its buffer embedded or binary, by the same staging that the
// exporter writes with.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/error.h"
#include "tools/cmpinfo/gltf/gltf_document.h"

namespace cmp {

// The form the output's name asks for: ".gltf" text, ".glb" binary, in any letter case;
// nothing for any other name.
std::optional<GltfForm> GltfFormFor(std::string_view path);

// The lines that tell the user what the document holds otherwise than stored, one per kind
// of change, each ending in a line break; empty when it holds every value as stored.
std::string DescribeAdjustments(const GltfAdjustments& adjustments);

// The whole conversion: reads and checks `treePath` as `cmpinfo --check` does, makes the
// document (its root named after the tree file) and writes it to `outputPath` in the form
// its name asks for, through a staged file beside it that takes the path's place only once
// whole (a failure never leaves half a file, and an old file stays as it was). Tells on
// standard error, after "cmpinfo: TREE: ", what the document holds otherwise than stored.
// The error's message is one line for the user: why the tree file gives no model, which
// stored value glTF cannot hold, or why the output was not written.
Status ConvertToGltf(const std::string& treePath, const std::string& outputPath);

}  // namespace cmp
