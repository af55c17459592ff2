// A stand-in model as the plug-in reads it through the model functions, as plain
// values that tests can compare (floats by their bits, so NaN equals itself).
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "host/ztModelLib.h"

namespace cmp {

struct ReadMeshValues {
    std::string name;
    std::int32_t materialIndex = 0;
    std::vector<std::uint32_t> vertexBits;  // x, y, z, u, v per vertex
    std::vector<std::uint16_t> corners;
    friend bool operator==(const ReadMeshValues&, const ReadMeshValues&) = default;
};

struct ReadModelValues {
    std::vector<std::string> materials;
    std::vector<ReadMeshValues> meshes;
    friend bool operator==(const ReadModelValues&, const ReadModelValues&) = default;
};

inline std::string ReadNameWith(void (*get)(ztMesh, char*, std::int32_t), ztMesh mesh) {
    std::vector<char> text(8192, '\0');
    get(mesh, text.data(), static_cast<std::int32_t>(text.size() - 1));
    return text.data();
}

inline ReadModelValues ReadModelThroughFunctions(ztModel model) {
    ReadModelValues values;
    for (std::int32_t m = 0; m < ztModel_GetMaterialCount(model); ++m) {
        std::vector<char> text(8192, '\0');
        ztMaterial_GetName(ztModel_GetMaterialAt(model, m), text.data(),
                           static_cast<std::int32_t>(text.size() - 1));
        values.materials.push_back(text.data());
    }
    for (std::int32_t m = 0; m < ztModel_GetMeshCount(model); ++m) {
        ztMesh mesh = ztModel_GetMeshAt(model, m);
        ReadMeshValues read;
        read.name = ReadNameWith(ztMesh_GetName, mesh);
        read.materialIndex = ztMesh_GetMaterialIndex(mesh);
        for (std::int32_t v = 0; v < ztMesh_GetVertexCount(mesh); ++v) {
            float xyz[3] = {};
            float uv[2] = {};
            ztVertex_GetVertex(ztMesh_GetVertexAt(mesh, v), xyz);
            ztVertex_GetTexCoords(ztMesh_GetVertexAt(mesh, v), uv);
            for (float value : {xyz[0], xyz[1], xyz[2], uv[0], uv[1]}) {
                read.vertexBits.push_back(std::bit_cast<std::uint32_t>(value));
            }
        }
        for (std::int32_t t = 0; t < ztMesh_GetTriangleCount(mesh); ++t) {
            std::uint16_t corners[3] = {};
            ztTriangle_GetVertexIndices(ztMesh_GetTriangleAt(mesh, t), corners);
            read.corners.insert(read.corners.end(), corners, corners + 3);
        }
        values.meshes.push_back(read);
    }
    return values;
}

}  // namespace cmp
