#include "tools/cmpinfo/gltf/gltf.h"

#include <Eigen/Dense>
#include <Eigen/SVD>
#include <cmath>
#include <cstdio>

#include "core/text.h"
#include "mesh/mesh.h"

namespace cmp {

namespace {

// The stored rows as the columns of the node's 3 x 3 part.
Eigen::Matrix3d ColumnsOf(const std::array<float, 9>& orientation) {
    Eigen::Matrix3d columns;
    for (int column = 0; column < 3; ++column) {
        for (int row = 0; row < 3; ++row) {
            columns(row, column) = orientation[static_cast<std::size_t>(3 * column + row)];
        }
    }
    return columns;
}

// The rotation nearest to `columns` in the least-squares sense: from the singular value
// decomposition U S V^T, U V^T, with its last axis turned over where that would mirror.
Eigen::Matrix3d NearestRotation(const Eigen::Matrix3d& columns) {
    const Eigen::JacobiSVD<Eigen::Matrix3d> decomposition(
        columns, Eigen::ComputeFullU | Eigen::ComputeFullV);
    const Eigen::Matrix3d& u = decomposition.matrixU();
    const Eigen::Matrix3d& v = decomposition.matrixV();
    Eigen::Vector3d turn(1.0, 1.0, (u * v.transpose()).determinant() < 0 ? -1.0 : 1.0);
    return u * turn.asDiagonal() * v.transpose();
}

}  // namespace

double GetGltfRootScale() {
    return 1.0 / static_cast<double>(ModelScale);
}

std::string GetGltfName(const std::string& stored) {
    return TerminalText(stored);
}

std::string GetGltfMaterialName(std::uint32_t material) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(material));
    return text;
}

std::array<double, 4> GetGltfBaseColour(std::uint32_t material) {
    std::array<double, 4> colour{0, 0, 0, 1.0};
    for (int channel = 0; channel < 3; ++channel) {
        const auto byte = (material >> (8 * channel)) & 0xFFu;
        colour[static_cast<std::size_t>(channel)] = 0.35 + 0.5 * static_cast<double>(byte) / 255.0;
    }
    return colour;
}

NormalFix MakeUnitNormal(std::array<float, 3>& normal) {
    const double x = normal[0];
    const double y = normal[1];
    const double z = normal[2];
    // Squares of floats cannot overflow a double, so the length is exact enough for any
    // finite normal, however long or short.
    const double length = std::sqrt(x * x + y * y + z * z);
    if (length == 0) {
        return NormalFix::Zero;
    }
    if (std::abs(length - 1) <= UnitNormalSlack) {
        return NormalFix::Kept;
    }
    normal = {static_cast<float>(x / length), static_cast<float>(y / length),
              static_cast<float>(z / length)};
    return NormalFix::MadeUnit;
}

bool IsGltfNodeOrientation(const std::array<float, 9>& orientation) {
    const Eigen::Matrix3d columns = ColumnsOf(orientation);
    const Eigen::Vector3d lengths = columns.colwise().norm();
    if (!(lengths.minCoeff() > 0) || lengths.maxCoeff() > MaxOrientationRowLength) {
        return false;
    }
    for (int a = 0; a < 3; ++a) {
        for (int b = a + 1; b < 3; ++b) {
            if (std::abs(columns.col(a).dot(columns.col(b))) > 1e-6 * lengths[a] * lengths[b]) {
                return false;
            }
        }
    }
    return true;
}

GltfHardpointMatrix GetGltfHardpointMatrix(const StoredHardpoint& hardpoint) {
    GltfHardpointMatrix result;
    result.keptAsStored = IsGltfNodeOrientation(hardpoint.orientation);
    const Eigen::Matrix3d columns = result.keptAsStored
                                        ? ColumnsOf(hardpoint.orientation)
                                        : NearestRotation(ColumnsOf(hardpoint.orientation));
    for (int column = 0; column < 3; ++column) {
        for (int row = 0; row < 3; ++row) {
            result.matrix[static_cast<std::size_t>(4 * column + row)] = columns(row, column);
        }
        result.matrix[static_cast<std::size_t>(12 + column)] =
            hardpoint.position[static_cast<std::size_t>(column)];
    }
    result.matrix[15] = 1.0;
    return result;
}

}  // namespace cmp
