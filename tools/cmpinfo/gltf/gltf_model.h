// What the glTF 2.0 document of a stored model holds, decided value by value: names,
// colours, the root's transform, and what becomes of stored values that glTF cannot hold
// as they are (a normal not of unit length, an orientation that is no rotation). The
// numbers of the file otherwise stay exactly as stored, and one root node carries the
// way back from the file's space to the modeller's. The document itself is written by
// gltf_document.h.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "tools/cmpinfo/read/exported_model.h"

namespace cmp {

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

}  // namespace cmp
