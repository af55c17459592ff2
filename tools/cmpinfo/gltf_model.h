// The model a tree file holds as a glTF 2.0 document, for any 3D tool to open. The numbers
// of the file stay exactly as stored: the accessors hold the stored floats bit for bit,
// and one root node carries the way back from the file's space to the modeller's.
#pragma once

#include <array>
#include <string>

#include <tiny_gltf.h>

#include "core/error.h"
#include "tools/cmpinfo/exported_model.h"

namespace cmp {

// The root node's transform: the file stores host positions times ModelScale with Y and Z
// negated, so the root turns half about X (the quaternion x, y, z, w) and scales by
// 1 / ModelScale (the double nearest it).
inline constexpr std::array<double, 4> GltfRootRotation{1.0, 0.0, 0.0, 0.0};
double GetGltfRootScale();

// "Hull.lod0.vms mesh 0": the library entry and the mesh's place in its stream. Names from
// the file keep printable text and valid UTF-8 and show other bytes as \xNN, so that the
// document is always valid UTF-8.
std::string GetGltfMeshName(const StoredMesh& mesh);
// "0xEB9CFAA5": the file keeps only the material's 32-bit identifier.
std::string GetGltfMaterialName(std::uint32_t material);

// The hardpoint's node matrix, column-major as glTF stores it. Row i of the stored
// orientation is where the hardpoint's own axis i points in the file's space, so it becomes
// column i; the position is the last column. The rows are not unit length in general,
// which a matrix keeps exactly and a rotation quaternion could not.
std::array<double, 16> GetGltfHardpointMatrix(const StoredHardpoint& hardpoint);

// The document: one scene whose one root node (named `rootName`) holds a node per mesh
// (each with its glTF mesh of one primitive: POSITION with its bounds, NORMAL, TEXCOORD_0,
// indices as stored; a mesh without triangles shows its vertices as points, one without
// vertices is left out) and an empty node per hardpoint with its matrix and, in `extras`,
// its kind (and a Revolute one's axis, min and max). One material per distinct identifier,
// in the order meshes first use them. ModelRefused, naming the mesh and vertex or the
// hardpoint, when a stored value is not a finite number: JSON cannot hold it, and a NaN
// in a position would make its bounds meaningless.
Result<tinygltf::Model> MakeGltfModel(const StoredModel& model, const std::string& rootName);

}  // namespace cmp
