// The glTF 2.0 file of a stored model (`cmpinfo --gltf`): what the document holds, value
// by value; the document, written object by object as it is made; and the command that
// reads and checks a tree file, makes the document and writes it whole or not at all.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/error.h"
#include "core/little_endian.h"
#include "tools/cmpinfo/read/read.h"

namespace cmp {

// -- Value by value (gltf_model.cpp)
// What the glTF 2.0 document of a stored model holds, decided value by value: names,
// colours, the root's transform, and what becomes of stored values that glTF cannot hold
// as they are (a normal not of unit length, an orientation that is no rotation). The
// numbers of the file otherwise stay exactly as stored, and one root node carries the
// way back from the file's space to the modeller's.

// The root node's transform: the file stores host positions times ModelScale with Y and Z
// negated, so the root turns half about X (the quaternion x, y, z, w) and scales by
// 1 / ModelScale (the double nearest it).
inline constexpr std::array<double, 4> GltfRootRotation{1.0, 0.0, 0.0, 0.0};
double GetGltfRootScale();

// A name from the file as the document holds it: printable text and valid UTF-8 kept,
// other bytes shown as \xNN, so that the document is always valid UTF-8.
std::string GetGltfName(const std::string& stored);
// "0xEB9CFAA5": the file keeps only the material's 32-bit identifier.
std::string GetGltfMaterialName(std::uint32_t material);
// Red, green, blue and alpha of a material: a neutral, light colour from three bytes of
// the identifier, each channel between 0.35 and 0.85, opaque.
std::array<double, 4> GetGltfBaseColour(std::uint32_t material);

// glTF asks for normals of unit length; its validator allows a length up to 0.00674 off.
// A stored normal within this of unit length is kept bit for bit.
inline constexpr double UnitNormalSlack = 0.005;

enum class NormalFix {
    Kept,      // unit length already: as stored
    MadeUnit,  // scaled to unit length
    Zero,      // no length to scale: glTF cannot hold it as a normal
};

// `normal` (finite) as the document holds it: kept, or divided by its length (the length
// taken in double, each component divided in double and rounded once to float), or, when
// every component is zero, left as it is and Zero returned.
NormalFix MakeUnitNormal(std::array<float, 3>& normal);

// A node's matrix can hold a rotation and a scale along the rotated axes, nothing else (no
// shear, no axis of length zero). The stored orientation's rows are where the hardpoint's
// own axes point; they are taken as they are when they stand at right angles to one
// another within 1e-6 of their lengths' product, none is of length zero and none longer
// than MaxOrientationRowLength (past that the rounding of a float matrix exceeds what the
// validator allows for it).
inline constexpr double MaxOrientationRowLength = 8.0;
bool IsGltfNodeOrientation(const std::array<float, 9>& orientation);

// The hardpoint's node matrix, column-major as glTF stores it, with the position as the
// last column. When IsGltfNodeOrientation holds, row i of the stored orientation becomes
// column i exactly (the rows need not be of unit length, which a matrix keeps and a
// rotation quaternion could not). Otherwise the columns are the rotation nearest to the
// stored rows (least squares; the identity for rows that are all zero), and
// `keptAsStored` is false: the stored rows then go into the node's extras.
struct GltfHardpointMatrix {
    std::array<double, 16> matrix{};
    bool keptAsStored = true;
};
GltfHardpointMatrix GetGltfHardpointMatrix(const StoredHardpoint& hardpoint);

// -- The document (gltf_document.cpp)
// The glTF 2.0 file of a stored model, text with its buffer embedded or binary, written
// object by object as it is made. Nothing holds the document whole before its text: a
// glTF library's objects take from several hundred bytes to two kilobytes each and its
// serialiser a JSON tree besides, which for a stream of 65,535 small meshes came to 300
// times the tree file. Each object is made as a small JSON value by nlohmann's library
// and appended to the file's bytes, as the --json report is.

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

// -- The command (gltf_file.cpp)
// `cmpinfo --gltf`: the model of a tree file that passed every check, written as a glTF
// 2.0 file, text with its buffer embedded or binary, by the same staging that the
// exporter writes with.

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
