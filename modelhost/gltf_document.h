// Reading a glTF 2.0 document and its buffers through tinygltf, for the glTF importer.
// Internal to the importer (it exposes tinygltf's types).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include <tiny_gltf.h>

#include "core/error.h"

namespace cmp {

// Deeper JSON than this is refused before tinygltf sees it: tinygltf converts extras and
// extensions recursively, and a file nested 100,000 deep would overflow the stack.
// glTF itself nests about eight deep; extras that users write add a few levels more.
inline constexpr std::size_t MaxJsonNesting = 128;

// True when `json` opens more than `limit` arrays and objects inside each other. Brackets
// inside strings do not count; the text need not be valid JSON.
bool NestsDeeperThan(std::string_view json, std::size_t limit);

struct GltfDocument {
    tinygltf::Model model;
    // The file of each buffer of the model, named as Assimp names it: the model's folder
    // as written in its path, followed by the uri; empty for a buffer in the file itself.
    std::vector<std::string> bufferFiles;
};

// Reads the document at `path`: binary (.glb) when its extension says so, JSON otherwise,
// as Assimp decides; external buffers from the model's folder, data: URIs decoded, no
// image read. Fails with the reason alone (the caller names the file): the file or a
// buffer cannot be read, the JSON nests too deep or does not parse, the document is no
// glTF 2.0. Throws only what the allocator throws.
Result<GltfDocument> ReadGltfDocument(const std::string& path);

}  // namespace cmp
