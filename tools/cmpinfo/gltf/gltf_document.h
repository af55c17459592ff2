// The glTF 2.0 file of a stored model, text with its buffer embedded or binary, written
// object by object as it is made. Nothing holds the document whole before its text: a
// glTF library's objects take from several hundred bytes to two kilobytes each and its
// serialiser a JSON tree besides, which for a stream of 65,535 small meshes came to 300
// times the tree file. Each object is made as a small JSON value by nlohmann's library
// and appended to the file's bytes, as the --json report is.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "core/error.h"
#include "core/little_endian.h"
#include "tools/cmpinfo/read/exported_model.h"

namespace cmp {

enum class GltfForm { Text, Binary };

// What the document holds otherwise than stored, to tell the user. Names are as the
// document has them.
struct GltfAdjustments {
    std::size_t normalsMadeUnit = 0;       // normals scaled to unit length
    std::size_t meshesWithoutNormals = 0;  // meshes with a normal of length zero
    std::string firstMeshWithoutNormals;
    std::size_t orientationsReplaced = 0;  // hardpoints given the nearest rotation
    std::string firstOrientationReplaced;
};

// The file's bytes in pieces, in order: a document of tens of megabytes is never copied
// whole into a larger block as it grows.
struct GltfFile {
    std::vector<Bytes> pieces;
    GltfAdjustments adjustments;
};

// The document, in the form asked, of `model` under one root node named `rootName`:
//   - one scene whose root turns and scales the file's space back to the modeller's;
//   - per library entry that references use, one glTF mesh named after the entry, with a
//     primitive per mesh of its stream that has vertices (in stream order; extras "mesh":
//     the mesh's place in the stream): POSITION with its bounds, NORMAL, TEXCOORD_0 and
//     the triangles as stored (a mesh without triangles shows its vertices as points);
//     the entry's vertices are one interleaved view of the stored records and its
//     indices one view, so the buffer holds each stream once;
//   - per reference, a node showing its entry's glTF mesh, named after the entry as
//     CutName cuts it (a reference whose meshes have no vertices has none);
//   - per hardpoint, an empty node with its matrix (GetGltfHardpointMatrix) and, in
//     extras, its kind (and a Revolute one's axis, min and max), and the stored
//     orientation's nine values as "orientation" when the matrix does not hold them;
//   - one material per distinct identifier, in the order meshes first use them.
// A normal not of unit length is made unit (MakeUnitNormal); a mesh with a normal of
// length zero has no NORMAL. ModelRefused, naming the mesh and vertex or the hardpoint,
// when a stored value is not a finite number: JSON cannot hold it, and a NaN in a
// position would make its bounds meaningless.
Result<GltfFile> MakeGltfFile(const StoredModel& model, const std::string& rootName, GltfForm form);

}  // namespace cmp
