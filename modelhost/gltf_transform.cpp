#include <algorithm>
#include <string>

#include "modelhost/gltf_internal.h"

namespace cmp {

Transform4 Transform4::operator*(const Transform4& m) const {
    Transform4 r;
    r.a1 = m.a1 * a1 + m.b1 * a2 + m.c1 * a3 + m.d1 * a4;
    r.a2 = m.a2 * a1 + m.b2 * a2 + m.c2 * a3 + m.d2 * a4;
    r.a3 = m.a3 * a1 + m.b3 * a2 + m.c3 * a3 + m.d3 * a4;
    r.a4 = m.a4 * a1 + m.b4 * a2 + m.c4 * a3 + m.d4 * a4;
    r.b1 = m.a1 * b1 + m.b1 * b2 + m.c1 * b3 + m.d1 * b4;
    r.b2 = m.a2 * b1 + m.b2 * b2 + m.c2 * b3 + m.d2 * b4;
    r.b3 = m.a3 * b1 + m.b3 * b2 + m.c3 * b3 + m.d3 * b4;
    r.b4 = m.a4 * b1 + m.b4 * b2 + m.c4 * b3 + m.d4 * b4;
    r.c1 = m.a1 * c1 + m.b1 * c2 + m.c1 * c3 + m.d1 * c4;
    r.c2 = m.a2 * c1 + m.b2 * c2 + m.c2 * c3 + m.d2 * c4;
    r.c3 = m.a3 * c1 + m.b3 * c2 + m.c3 * c3 + m.d3 * c4;
    r.c4 = m.a4 * c1 + m.b4 * c2 + m.c4 * c3 + m.d4 * c4;
    r.d1 = m.a1 * d1 + m.b1 * d2 + m.c1 * d3 + m.d1 * d4;
    r.d2 = m.a2 * d1 + m.b2 * d2 + m.c2 * d3 + m.d2 * d4;
    r.d3 = m.a3 * d1 + m.b3 * d2 + m.c3 * d3 + m.d3 * d4;
    r.d4 = m.a4 * d1 + m.b4 * d2 + m.c4 * d3 + m.d4 * d4;
    return r;
}

bool Transform4::IsExactIdentity() const {
    const Transform4 identity;
    const auto elements = [](const Transform4& m) {
        return std::array<float, 16>{m.a1, m.a2, m.a3, m.a4, m.b1, m.b2, m.b3, m.b4,
                                     m.c1, m.c2, m.c3, m.c4, m.d1, m.d2, m.d3, m.d4};
    };
    // Compared as numbers: -0 equals 0, NaN equals nothing.
    const std::array<float, 16> mine = elements(*this);
    const std::array<float, 16> theirs = elements(identity);
    for (std::size_t i = 0; i < mine.size(); ++i) {
        if (mine[i] != theirs[i]) {
            return false;
        }
    }
    return true;
}

Point3 Transform4::Apply(const Point3& p) const {
    return {a1 * p.x + a2 * p.y + a3 * p.z + a4, b1 * p.x + b2 * p.y + b3 * p.z + b4,
            c1 * p.x + c2 * p.y + c3 * p.z + c4};
}

Transform4 MatrixTransform(const std::array<float, 16>& v) {
    Transform4 m;
    m.a1 = v[0], m.b1 = v[1], m.c1 = v[2], m.d1 = v[3];
    m.a2 = v[4], m.b2 = v[5], m.c2 = v[6], m.d2 = v[7];
    m.a3 = v[8], m.b3 = v[9], m.c3 = v[10], m.d3 = v[11];
    m.a4 = v[12], m.b4 = v[13], m.c4 = v[14], m.d4 = v[15];
    return m;
}

namespace {

// The rotation matrix of a unit quaternion, term by term as Assimp writes it.
Transform4 Rotation(float x, float y, float z, float w) {
    Transform4 r;
    r.a1 = 1.0f - 2.0f * (y * y + z * z);
    r.a2 = 2.0f * (x * y - z * w);
    r.a3 = 2.0f * (x * z + y * w);
    r.b1 = 2.0f * (x * y + z * w);
    r.b2 = 1.0f - 2.0f * (x * x + z * z);
    r.b3 = 2.0f * (y * z - x * w);
    r.c1 = 2.0f * (x * z - y * w);
    r.c2 = 2.0f * (y * z + x * w);
    r.c3 = 1.0f - 2.0f * (x * x + y * y);
    return r;
}

}  // namespace

Transform4 TrsTransform(const float* translation, const float* rotation, const float* scale) {
    Transform4 matrix;
    if (translation != nullptr) {
        Transform4 t;
        t.a4 = translation[0], t.b4 = translation[1], t.c4 = translation[2];
        matrix = matrix * t;
    }
    if (rotation != nullptr) {
        matrix = matrix * Rotation(rotation[0], rotation[1], rotation[2], rotation[3]);
    }
    if (scale != nullptr) {
        Transform4 s;
        s.a1 = scale[0], s.b2 = scale[1], s.c3 = scale[2];
        matrix = matrix * s;
    }
    return matrix;
}

Transform4 LocalTransform(const tinygltf::Node& n) {
    if (!n.matrix.empty()) {
        std::array<float, 16> columns{};
        std::transform(n.matrix.begin(), n.matrix.end(), columns.begin(),
                       [](double v) { return static_cast<float>(v); });
        return MatrixTransform(columns);
    }
    float translation[3], rotation[4], scale[3];
    std::transform(n.translation.begin(), n.translation.end(), translation,
                   [](double v) { return static_cast<float>(v); });
    std::transform(n.rotation.begin(), n.rotation.end(), rotation,
                   [](double v) { return static_cast<float>(v); });
    std::transform(n.scale.begin(), n.scale.end(), scale,
                   [](double v) { return static_cast<float>(v); });
    return TrsTransform(n.translation.empty() ? nullptr : translation,
                        n.rotation.empty() ? nullptr : rotation, n.scale.empty() ? nullptr : scale);
}

Status CheckTransformSizes(const tinygltf::Model& model) {
    for (std::size_t n = 0; n < model.nodes.size(); ++n) {
        const tinygltf::Node& node = model.nodes[n];
        const auto sized = [](const std::vector<double>& v, std::size_t size) {
            return v.empty() || v.size() == size;
        };
        if (!sized(node.matrix, 16) || !sized(node.translation, 3) || !sized(node.rotation, 4) ||
            !sized(node.scale, 3)) {
            return Error{ErrorCode::ImportFailed,
                         "node " + std::to_string(n) + " has a transform of the wrong size"};
        }
    }
    return {};
}

}  // namespace cmp
