// What the files of the glTF importer share: the document and its buffers read through
// tinygltf, accessor data, node transforms, names, primitives and the order in which
// materials and buffers are come upon, each as Assimp 5.2 has them so that the import
// gives bit for bit the model of the Assimp import. Internal to the importer (it exposes
// tinygltf's types); gltf_import.h is its face.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <tiny_gltf.h>

#include "core/error.h"
#include "modelhost/import_rules.h"

namespace cmp {

// -- The document (gltf_document.cpp)

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

// -- Accessor data, read as Assimp reads it and checked against the bytes really there
// (gltf_accessors.cpp)

// Where an accessor's elements lie: `count` elements of `elementSize` bytes, `stride`
// bytes apart from `first`, all inside its buffer view and buffer.
struct AccessorBytes {
    const std::uint8_t* first = nullptr;
    std::size_t count = 0;
    std::size_t stride = 0;
    std::size_t elementSize = 0;
    int components = 0;
    int componentType = 0;
};

// Locates accessor `index`. Fails, with a reason naming the accessor, when it is not in
// the file, is sparse or has no buffer view (both unsupported here), has no elements, an
// unknown component type or type, a stride below its element size, or when its elements,
// its view or its buffer reach past what the file holds. Counts can never exceed the
// buffer's real size, so nothing allocated from them is larger than the file.
Result<AccessorBytes> LocateAccessor(const tinygltf::Model& model, int index);

// Each element as Assimp extracts it into a three-float vector: its bytes copied over
// zeros, whatever the component type (a float VEC2 gives x, y, 0). Elements of more than
// 12 bytes are refused, as by Assimp.
Result<std::vector<std::array<float, 3>>> ReadAsFloatTriples(const AccessorBytes& accessor,
                                                             int index);

// The indices of an index accessor: SCALAR of unsigned 8, 16 or 32 bits; others refused.
Result<std::vector<std::uint32_t>> ReadIndices(const AccessorBytes& accessor, int index);

// -- Node transforms (gltf_transform.cpp), built and multiplied in single precision
// exactly as Assimp builds and multiplies them, so that positions come out bit for bit as
// from the Assimp import: every product and sum in the same order, nothing fused, nothing
// skipped (multiplying by an identity is not free: it turns -0 into +0).

struct Point3 {
    float x, y, z;
};

// A 4x4 transform by rows (a, b, c, d) and columns (1 to 4); points are columns.
struct Transform4 {
    float a1 = 1, a2 = 0, a3 = 0, a4 = 0;
    float b1 = 0, b2 = 1, b3 = 0, b4 = 0;
    float c1 = 0, c2 = 0, c3 = 1, c4 = 0;
    float d1 = 0, d2 = 0, d3 = 0, d4 = 1;

    // this * m, with each element's four products summed left to right.
    Transform4 operator*(const Transform4& m) const;

    // True when every element equals the identity's (-0 counts as 0).
    bool IsExactIdentity() const;
    LinearPart Linear() const { return {{{a1, a2, a3}, {b1, b2, b3}, {c1, c2, c3}}}; }
    Point3 Apply(const Point3& p) const;
};

// A node's local transform: its "matrix" (16 numbers, column after column), else
// identity * translation * rotation * scale for those of the three that it has, each
// multiplied in even when it changes nothing. `rotation` is the quaternion x, y, z, w.
Transform4 MatrixTransform(const std::array<float, 16>& columns);
Transform4 TrsTransform(const float* translation, const float* rotation, const float* scale);

// A node's local transform as MatrixTransform or TrsTransform make it from the node's
// numbers, rounded to single precision. The sizes must have passed CheckTransformSizes.
Transform4 LocalTransform(const tinygltf::Node& node);

// Fails, naming the node, when a node's transform is not a matrix of 16 numbers or parts
// of 3, 4 and 3.
Status CheckTransformSizes(const tinygltf::Model& model);

// -- Names as Assimp keeps them (gltf_names.cpp)

// A node's or material's name: cut to Assimp's 1023 bytes, then read up to its first NUL.
std::string AssimpName(std::string_view name);

// A node's name, "nodes[<index>]" for an unnamed one.
std::string NodeName(const tinygltf::Node& node, std::size_t index);

// The name of the mesh Assimp makes of primitive `primitive` of mesh `meshIndex`.
std::string PrimitiveName(const tinygltf::Mesh& mesh, std::size_t meshIndex, std::size_t primitive);

// -- Primitives as Assimp turns them into meshes (gltf_primitives.cpp)

enum class PrimitiveKind { Points, Lines, Triangles };

struct ImportedPrimitive {
    std::string name;  // Assimp's name of the mesh it makes
    int material = -1;
    PrimitiveKind kind = PrimitiveKind::Triangles;
    std::vector<Point3> positions;
    std::vector<std::array<float, 2>> texCoords;  // empty: none
    std::vector<std::array<std::uint32_t, 3>> triangles;
    std::uint32_t droppedFaces = 0;  // points or line segments
};

// Primitive `primitiveIndex` of mesh `meshIndex` (both in the file): positions, TEXCOORD_0
// with v as Assimp gives it, and its faces, strips and fans made triangles. Fails, naming
// the mesh and primitive, when the file lacks what it refers to, an accessor is unsound,
// an index names a vertex the primitive lacks, or the mode is unknown or has too few
// corners for one face.
Result<ImportedPrimitive> ImportPrimitive(const tinygltf::Model& model, std::size_t meshIndex,
                                          std::size_t primitiveIndex);

// -- The node trees of the scene (gltf_node_trees.cpp)

// The root nodes of the scene Assimp loads (the one named by "scene", else the first),
// once the file's nodes are found to form trees: every node has one parent at most, none
// is its own ancestor, every child and mesh a node names is in the file, and no root is
// another node's child or listed twice. Fails with the reason alone.
Result<std::vector<int>> SceneRoots(const tinygltf::Model& model);

// -- The order in which Assimp's reader comes upon materials and buffers (gltf_read_order.cpp)

struct GltfReadOrder {
    std::vector<int> materials;  // each once, in the order first come upon
    std::vector<int> buffers;
};

// From the scene's `roots` (SceneRoots) first, each node's children depth first before
// its own mesh, then the skins and the animations, as Assimp loads them.
GltfReadOrder ReadOrder(const tinygltf::Model& model, const std::vector<int>& roots);

}  // namespace cmp
