// Reading back what cmpinfo writes as glTF, with tinygltf (a reader of its own), and the
// glTF validator's rules that can be checked without Node, in the validator's own
// arithmetic: every vector of a NORMAL accessor of unit length, and every node matrix
// decomposable into translation, rotation and scale. Shared by the tests and the fuzz
// target of the tree-file reader, which checks every document it makes.
#pragma once

#include <tiny_gltf.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "tools/cmpinfo/gltf/gltf.h"

namespace cmp {

// The document in `bytes`, binary or text as its first bytes say; false with tinygltf's
// error in `error` when it cannot read it.
// The file's pieces one after another, as they are written.
inline std::vector<std::uint8_t> Joined(const GltfFile& file) {
    std::vector<std::uint8_t> whole;
    for (const std::vector<std::uint8_t>& piece : file.pieces) {
        whole.insert(whole.end(), piece.begin(), piece.end());
    }
    return whole;
}

inline bool ReadGltfDocument(const std::vector<std::uint8_t>& bytes, tinygltf::Model& document,
                             std::string& error) {
    tinygltf::TinyGLTF reader;
    std::string warning;
    const bool binary = bytes.size() >= 4 && std::memcmp(bytes.data(), "glTF", 4) == 0;
    return binary ? reader.LoadBinaryFromMemory(&document, &error, &warning, bytes.data(),
                                                static_cast<unsigned>(bytes.size()))
                  : reader.LoadASCIIFromString(&document, &error, &warning,
                                               reinterpret_cast<const char*>(bytes.data()),
                                               static_cast<unsigned>(bytes.size()), "");
}

// The floats of a float accessor, `components` per element, honouring its view's stride.
inline std::vector<float> GltfFloats(const tinygltf::Model& document, int accessorIndex,
                                     std::size_t components) {
    const tinygltf::Accessor& accessor = document.accessors.at(accessorIndex);
    const tinygltf::BufferView& view = document.bufferViews.at(accessor.bufferView);
    const std::vector<unsigned char>& bytes = document.buffers.at(view.buffer).data;
    const std::size_t stride = view.byteStride > 0 ? view.byteStride : 4 * components;
    std::vector<float> values(accessor.count * components);
    for (std::size_t element = 0; element < accessor.count; ++element) {
        const std::size_t at = view.byteOffset + accessor.byteOffset + stride * element;
        if (at + 4 * components > bytes.size()) {
            return {};
        }
        std::memcpy(values.data() + components * element, bytes.data() + at, 4 * components);
    }
    return values;
}

// The validator's test of a node matrix: the matrix as 32-bit floats, its last row 0 0 0 1
// and its determinant not zero; the columns' lengths as the scale (the first negated where
// the determinant is negative), the quaternion of the scaled-out columns, and the matrix
// made again from those; the largest column sum of absolute values of the two within
// 0.00005. Stored as floats wherever the validator stores them.
inline bool ValidatorDecomposes(const std::vector<double>& matrix) {
    std::array<float, 16> m{};
    for (std::size_t i = 0; i < 16; ++i) {
        m[i] = static_cast<float>(matrix[i]);
    }
    if (m[3] != 0 || m[7] != 0 || m[11] != 0 || m[15] != 1) {
        return false;
    }
    const double a = m[0] * double{m[5]} - m[1] * double{m[4]};
    const double b = m[0] * double{m[6]} - m[2] * double{m[4]};
    const double c = m[0] * double{m[7]} - m[3] * double{m[4]};
    const double d = m[1] * double{m[6]} - m[2] * double{m[5]};
    const double e = m[1] * double{m[7]} - m[3] * double{m[5]};
    const double f = m[2] * double{m[7]} - m[3] * double{m[6]};
    const double determinant =
        -(m[9] * f - m[10] * e + m[11] * d) * m[12] + (m[8] * f - m[10] * c + m[11] * b) * m[13] -
        (m[8] * e - m[9] * c + m[11] * a) * m[14] + (m[8] * d - m[9] * b + m[10] * a) * m[15];
    if (determinant == 0) {
        return false;
    }
    std::array<double, 3> scale{};
    for (std::size_t column = 0; column < 3; ++column) {
        const double x = m[4 * column];
        const double y = m[4 * column + 1];
        const double z = m[4 * column + 2];
        scale[column] = std::sqrt(x * x + y * y + z * z);
    }
    if (determinant < 0) {
        scale[0] = -scale[0];
    }
    std::array<float, 9> r{};  // the scaled-out columns, one after another
    for (std::size_t column = 0; column < 3; ++column) {
        for (std::size_t row = 0; row < 3; ++row) {
            r[3 * column + row] = static_cast<float>(m[4 * column + row] * (1 / scale[column]));
        }
    }
    std::array<float, 4> q{};  // x, y, z, w
    const double trace = 0.0 + r[0] + r[4] + r[8];
    if (trace > 0) {
        double s = std::sqrt(trace + 1);
        q[3] = static_cast<float>(s * 0.5);
        s = 0.5 / s;
        q[0] = static_cast<float>((r[5] - double{r[7]}) * s);
        q[1] = static_cast<float>((r[6] - double{r[2]}) * s);
        q[2] = static_cast<float>((r[1] - double{r[3]}) * s);
    } else {
        const std::size_t i = r[0] < r[4] ? (r[4] < r[8] ? 2 : 1) : (r[0] < r[8] ? 2 : 0);
        const std::size_t j = (i + 1) % 3;
        const std::size_t k = (i + 2) % 3;
        double s = std::sqrt(r[4 * i] - double{r[4 * j]} - r[4 * k] + 1);
        q[i] = static_cast<float>(s * 0.5);
        s = 0.5 / s;
        q[3] = static_cast<float>((r[3 * j + k] - double{r[3 * k + j]}) * s);
        q[j] = static_cast<float>((r[3 * i + j] + double{r[3 * j + i]}) * s);
        q[k] = static_cast<float>((r[3 * i + k] + double{r[3 * k + i]}) * s);
    }
    const double x = q[0], y = q[1], z = q[2], w = q[3];
    const std::array<double, 9> rotation = {
        1 - (2 * y * y + 2 * z * z), 2 * x * y + 2 * w * z,       2 * x * z - 2 * w * y,
        2 * x * y - 2 * w * z,       1 - (2 * x * x + 2 * z * z), 2 * y * z + 2 * w * x,
        2 * x * z + 2 * w * y,       2 * y * z - 2 * w * x,       1 - (2 * x * x + 2 * y * y)};
    std::array<float, 16> again{};
    for (std::size_t column = 0; column < 3; ++column) {
        const auto columnScale = static_cast<float>(scale[column]);
        for (std::size_t row = 0; row < 3; ++row) {
            again[4 * column + row] =
                static_cast<float>(static_cast<float>(rotation[3 * column + row]) * columnScale);
        }
        again[12 + column] = m[12 + column];
    }
    again[15] = 1;
    const auto largestColumnSum = [](const std::array<float, 16>& of) {
        double largest = 0;
        for (std::size_t column = 0; column < 4; ++column) {
            double sum = 0;
            for (std::size_t row = 0; row < 4; ++row) {
                sum += std::abs(double{of[4 * column + row]});
            }
            largest = std::max(largest, sum);
        }
        return largest;
    };
    return std::abs(largestColumnSum(again) - largestColumnSum(m)) < 0.00005;
}

// What the validator would call an error among the rules above: one line per accessor or
// node that breaks one; empty when none does.
inline std::vector<std::string> FindGltfRuleBreaches(const tinygltf::Model& document) {
    std::vector<std::string> breaches;
    for (std::size_t m = 0; m < document.meshes.size(); ++m) {
        for (std::size_t p = 0; p < document.meshes[m].primitives.size(); ++p) {
            const auto& attributes = document.meshes[m].primitives[p].attributes;
            const auto normal = attributes.find("NORMAL");
            if (normal == attributes.end()) {
                continue;
            }
            const std::vector<float> values = GltfFloats(document, normal->second, 3);
            for (std::size_t v = 0; v + 2 < values.size(); v += 3) {
                const double length = std::sqrt(double{values[v]} * values[v] +
                                                double{values[v + 1]} * values[v + 1] +
                                                double{values[v + 2]} * values[v + 2]);
                if (std::abs(length - 1) > 0.00674) {
                    breaches.push_back("mesh " + std::to_string(m) + " primitive " +
                                       std::to_string(p) + ": normal " + std::to_string(v / 3) +
                                       " is of length " + std::to_string(length));
                    break;
                }
            }
        }
    }
    for (std::size_t n = 0; n < document.nodes.size(); ++n) {
        const std::vector<double>& matrix = document.nodes[n].matrix;
        if (!matrix.empty() && (matrix.size() != 16 || !ValidatorDecomposes(matrix))) {
            breaches.push_back("node " + std::to_string(n) + ": its matrix is no TRS");
        }
    }
    return breaches;
}

}  // namespace cmp
