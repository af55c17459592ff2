// A stand-in model as the plug-in reads it through the model functions, with every float
// kept as its bits: for tests that require two imports to give the very same model.
// Header-only, so users link nothing but ztModelLib.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <string>
#include <vector>

#include "host/ztModelLib.h"

namespace cmp {

struct MeshSnapshot {
    std::string name;
    std::int32_t material = -1;
    std::vector<std::uint32_t> vertexBits;  // x, y, z, u, v of each vertex
    std::vector<std::uint16_t> corners;
    friend bool operator==(const MeshSnapshot&, const MeshSnapshot&) = default;
};

struct ModelSnapshot {
    std::vector<std::string> materials;
    std::vector<MeshSnapshot> meshes;
    friend bool operator==(const ModelSnapshot&, const ModelSnapshot&) = default;
};

inline ModelSnapshot TakeSnapshot(ztModel model) {
    ModelSnapshot snapshot;
    for (std::int32_t m = 0; m < ztModel_GetMaterialCount(model); ++m) {
        char text[4096] = {};
        ztMaterial_GetName(ztModel_GetMaterialAt(model, m), text, sizeof text - 1);
        snapshot.materials.push_back(text);
    }
    for (std::int32_t m = 0; m < ztModel_GetMeshCount(model); ++m) {
        ztMesh mesh = ztModel_GetMeshAt(model, m);
        MeshSnapshot taken;
        char text[4096] = {};
        ztMesh_GetName(mesh, text, sizeof text - 1);
        taken.name = text;
        taken.material = ztMesh_GetMaterialIndex(mesh);
        for (std::int32_t v = 0; v < ztMesh_GetVertexCount(mesh); ++v) {
            float values[5] = {};
            ztVertex_GetVertex(ztMesh_GetVertexAt(mesh, v), values);
            ztVertex_GetTexCoords(ztMesh_GetVertexAt(mesh, v), values + 3);
            for (float value : values) {
                taken.vertexBits.push_back(std::bit_cast<std::uint32_t>(value));
            }
        }
        for (std::int32_t t = 0; t < ztMesh_GetTriangleCount(mesh); ++t) {
            std::uint16_t corners[3] = {};
            ztTriangle_GetVertexIndices(ztMesh_GetTriangleAt(mesh, t), corners);
            taken.corners.insert(taken.corners.end(), corners, corners + 3);
        }
        snapshot.meshes.push_back(std::move(taken));
    }
    return snapshot;
}

// Where two snapshots first differ, for a failure message; empty when they are equal.
inline std::string FirstDifference(const ModelSnapshot& a, const ModelSnapshot& b) {
    if (a.materials != b.materials) {
        return "materials differ";
    }
    if (a.meshes.size() != b.meshes.size()) {
        return std::to_string(a.meshes.size()) + " meshes against " +
               std::to_string(b.meshes.size());
    }
    for (std::size_t m = 0; m < a.meshes.size(); ++m) {
        const MeshSnapshot& x = a.meshes[m];
        const MeshSnapshot& y = b.meshes[m];
        const std::string which =
            "mesh " + std::to_string(m) + " ('" + x.name + "', '" + y.name + "'): ";
        if (x.name != y.name || x.material != y.material) {
            return which + "name or material differs";
        }
        for (std::size_t i = 0; i < std::min(x.vertexBits.size(), y.vertexBits.size()); ++i) {
            if (x.vertexBits[i] != y.vertexBits[i]) {
                return which + "vertex " + std::to_string(i / 5) + " component " +
                       std::to_string(i % 5) + ": " +
                       std::to_string(std::bit_cast<float>(x.vertexBits[i])) + " against " +
                       std::to_string(std::bit_cast<float>(y.vertexBits[i]));
            }
        }
        if (x.vertexBits.size() != y.vertexBits.size()) {
            return which + "vertex counts differ";
        }
        if (x.corners != y.corners) {
            return which + "triangles differ";
        }
    }
    return a == b ? std::string() : "snapshots differ";
}

}  // namespace cmp
