// Node transforms of a glTF file, built and multiplied in single precision exactly as
// Assimp 5.2 builds and multiplies them, so that positions come out bit for bit as from
// the Assimp import: every product and sum in the same order, nothing fused, nothing
// skipped (multiplying by an identity is not free: it turns -0 into +0).
#pragma once

#include <array>

#include "modelhost/import_rules.h"

namespace cmp {

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

}  // namespace cmp
