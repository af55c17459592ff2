// Primitives as Assimp turns them into meshes: positions, texture coordinates and faces.
#include <string>
#include <utility>

#include "modelhost/gltf_internal.h"

namespace cmp {

namespace {

// Assimp's importer flips v; its scene check then clears what a coordinate of fewer
// components lacks (one component: v as well); the FlipUVs step flips v again. So v is
// 1 - (1 - v) in single precision, not always v, and a scalar coordinate has v = 1.
std::array<float, 2> AssimpTexCoord(const std::array<float, 3>& read, int components) {
    float v = 1 - read[1];
    if (components == 1) {
        v = 0;
    }
    return {read[0], 1.0f - v};
}

Status ReadTexCoords(const tinygltf::Model& model, const tinygltf::Primitive& primitive,
                     ImportedPrimitive& imported) {
    const auto found = primitive.attributes.find("TEXCOORD_0");
    if (found == primitive.attributes.end()) {
        return {};
    }
    Result<AccessorBytes> accessor = LocateAccessor(model, found->second);
    if (!accessor) {
        return accessor.error();
    }
    // Assimp leaves out coordinates whose count is not the vertices'.
    if (accessor.value().count != imported.positions.size()) {
        return {};
    }
    Result<std::vector<std::array<float, 3>>> read =
        ReadAsFloatTriples(accessor.value(), found->second);
    if (!read) {
        return read.error();
    }
    imported.texCoords.reserve(read.value().size());
    for (const std::array<float, 3>& t : read.value()) {
        imported.texCoords.push_back(AssimpTexCoord(t, accessor.value().components));
    }
    return {};
}

// The corners of the primitive in file order: its indices, else 0, 1, 2, ...
Result<std::vector<std::uint32_t>> ReadCorners(const tinygltf::Model& model,
                                               const tinygltf::Primitive& primitive,
                                               std::size_t vertexCount) {
    std::vector<std::uint32_t> corners;
    if (primitive.indices < 0) {
        corners.resize(vertexCount);
        for (std::size_t i = 0; i < vertexCount; ++i) {
            corners[i] = static_cast<std::uint32_t>(i);
        }
        return corners;
    }
    Result<AccessorBytes> accessor = LocateAccessor(model, primitive.indices);
    if (!accessor) {
        return accessor.error();
    }
    Result<std::vector<std::uint32_t>> indices = ReadIndices(accessor.value(), primitive.indices);
    if (!indices) {
        return indices.error();
    }
    for (std::uint32_t index : indices.value()) {
        if (index >= vertexCount) {
            return Error{ErrorCode::ImportFailed,
                         "an index (" + std::to_string(index) + ") names a vertex of " +
                             std::to_string(vertexCount) + " that a primitive does not have"};
        }
    }
    return std::move(indices.value());
}

// Faces from corners, mode by mode as Assimp builds them: strips alternate their first two
// corners so that every triangle faces the same way; fans turn around the first corner.
Status BuildFaces(int mode, const std::vector<std::uint32_t>& c, ImportedPrimitive& imported) {
    const std::size_t count = c.size();
    const std::size_t fewest = mode == TINYGLTF_MODE_POINTS       ? 1
                               : mode <= TINYGLTF_MODE_LINE_STRIP ? 2
                                                                  : 3;
    if (count < fewest) {
        return Error{ErrorCode::ImportFailed, "a primitive has too few corners for one face"};
    }
    switch (mode) {
        case TINYGLTF_MODE_POINTS:
            imported.kind = PrimitiveKind::Points;
            imported.droppedFaces = static_cast<std::uint32_t>(count);
            break;
        case TINYGLTF_MODE_LINE:
            imported.kind = PrimitiveKind::Lines;
            imported.droppedFaces = static_cast<std::uint32_t>(count / 2);
            break;
        case TINYGLTF_MODE_LINE_LOOP:
            imported.kind = PrimitiveKind::Lines;
            imported.droppedFaces = static_cast<std::uint32_t>(count);
            break;
        case TINYGLTF_MODE_LINE_STRIP:
            imported.kind = PrimitiveKind::Lines;
            imported.droppedFaces = static_cast<std::uint32_t>(count - 1);
            break;
        case TINYGLTF_MODE_TRIANGLES:
            // Corners past the last whole triangle are left out.
            for (std::size_t i = 0; i + 3 <= count; i += 3) {
                imported.triangles.push_back({c[i], c[i + 1], c[i + 2]});
            }
            break;
        case TINYGLTF_MODE_TRIANGLE_STRIP:
            for (std::size_t i = 0; i + 2 < count; ++i) {
                if ((i + 1) % 2 == 0) {
                    imported.triangles.push_back({c[i + 1], c[i], c[i + 2]});
                } else {
                    imported.triangles.push_back({c[i], c[i + 1], c[i + 2]});
                }
            }
            break;
        case TINYGLTF_MODE_TRIANGLE_FAN:
            for (std::size_t i = 0; i + 2 < count; ++i) {
                imported.triangles.push_back({c[0], c[i + 1], c[i + 2]});
            }
            break;
        default:
            return Error{ErrorCode::ImportFailed,
                         "a primitive has the unknown mode " + std::to_string(mode)};
    }
    return {};
}

}  // namespace

Result<ImportedPrimitive> ImportPrimitive(const tinygltf::Model& model, std::size_t meshIndex,
                                          std::size_t primitiveIndex) {
    const tinygltf::Mesh& mesh = model.meshes[meshIndex];
    const tinygltf::Primitive& primitive = mesh.primitives[primitiveIndex];
    ImportedPrimitive imported;
    imported.name = PrimitiveName(mesh, meshIndex, primitiveIndex);
    const std::string where = "mesh " + std::to_string(meshIndex) + ", primitive " +
                              std::to_string(primitiveIndex) + ": ";
    const auto fail = [&](const Error& error) {
        return Error{ErrorCode::ImportFailed, where + error.message};
    };
    if (primitive.material >= 0 &&
        static_cast<std::size_t>(primitive.material) >= model.materials.size()) {
        return fail({ErrorCode::ImportFailed, "its material is not in the file"});
    }
    imported.material = primitive.material;
    const auto position = primitive.attributes.find("POSITION");
    if (position == primitive.attributes.end()) {
        return fail({ErrorCode::ImportFailed, "it has no POSITION"});
    }
    Result<AccessorBytes> accessor = LocateAccessor(model, position->second);
    if (!accessor) {
        return fail(accessor.error());
    }
    Result<std::vector<std::array<float, 3>>> positions =
        ReadAsFloatTriples(accessor.value(), position->second);
    if (!positions) {
        return fail(positions.error());
    }
    imported.positions.reserve(positions.value().size());
    for (const std::array<float, 3>& p : positions.value()) {
        imported.positions.push_back({p[0], p[1], p[2]});
    }
    if (Status read = ReadTexCoords(model, primitive, imported); !read) {
        return fail(read.error());
    }
    Result<std::vector<std::uint32_t>> corners =
        ReadCorners(model, primitive, imported.positions.size());
    if (!corners) {
        return fail(corners.error());
    }
    if (Status built = BuildFaces(primitive.mode, corners.value(), imported); !built) {
        return fail(built.error());
    }
    return imported;
}

}  // namespace cmp
