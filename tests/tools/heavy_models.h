// Sound tree files whose model costs the inspector far more than their bytes when it is
// held naively: one mesh data stream that many references share, many small meshes of
// materials of their own, and many hardpoints over a model at the format's limits. Each
// once made --gltf or --render take hundreds of megabytes or many seconds.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "mesh/mesh.h"
#include "tree/tree.h"
#include "utf/utf.h"

namespace cmp {

inline void SetMeshName(char (&field)[NameFieldSize], const std::string& name) {
    std::snprintf(field, sizeof field, "%s", name.c_str());
}

// A wavy sheet of `columns` x `rows` vertices and as many triangles as `triangles` asks
// (at most two per cell), its normals unit length.
inline ExportMesh SheetMesh(const std::string& name, int columns, int rows, int triangles) {
    ExportMesh mesh;
    SetMeshName(mesh.meshName, name);
    SetMeshName(mesh.materialName, "HullPaint");
    for (int row = 0; row < rows; ++row) {
        for (int column = 0; column < columns; ++column) {
            const float x = static_cast<float>(column) * 0.1f;
            const float z = static_cast<float>(row) * 0.1f;
            mesh.vertices.push_back({{x, std::sin(x) * std::cos(z), z}, {0, 1, 0}, x, z});
        }
    }
    for (int cell = 0; static_cast<int>(mesh.triangles.size()) < 3 * triangles; ++cell) {
        const int row = cell / (columns - 1);
        const int column = cell % (columns - 1);
        const auto corner = static_cast<std::uint16_t>(row * columns + column);
        const auto right = static_cast<std::uint16_t>(corner + 1);
        const auto below = static_cast<std::uint16_t>(corner + columns);
        mesh.triangles.insert(mesh.triangles.end(), {corner, below, right});
        if (static_cast<int>(mesh.triangles.size()) < 3 * triangles) {
            mesh.triangles.insert(mesh.triangles.end(),
                                  {right, below, static_cast<std::uint16_t>(below + 1)});
        }
    }
    mesh.faceNormals.assign(mesh.triangles.size() / 3, Vector3{0, 1, 0});
    return mesh;
}

// A small hardpoint mesh of three vertices over the sheet, Fixed and Revolute in turn,
// spread so that `count` of them cover the sheet's cells.
inline ExportMesh HardpointMarker(int number) {
    ExportMesh mesh;
    SetMeshName(mesh.meshName,
                (number % 2 ? "Hp_Revolute_Turret" : "Hp_Fixed_Gun") + std::to_string(number));
    mesh.isHardpoint = true;
    const float x = static_cast<float>(number % 50) * 0.5f;
    const float z = static_cast<float>(number / 50) * 0.6f;
    for (float offset : {0.0f, 0.05f, 0.1f}) {
        mesh.vertices.push_back({{x + offset, 1.5f, z}, {0, 1, 0}, 0, 0});
    }
    return mesh;
}

inline Bytes TreeFileOf(const MeshList& meshes) {
    NodeTree tree;
    BuildCompoundLayout(tree, meshes, BuildMeshDataStream(meshes));
    return UtfLayout(tree).GetFileBytes();
}

// The model at the format's limits (65,535 vertices and 21,845 triangles in one sheet)
// with `hardpoints` hardpoints over it.
inline MeshList LimitsModelWithHardpoints(int hardpoints) {
    MeshList meshes;
    meshes.push_back(SheetMesh("Hull", 257, 255, 21845));
    for (int i = 0; i < hardpoints; ++i) {
        meshes.push_back(HardpointMarker(i));
    }
    return meshes;
}

// One sheet of `columns` x `rows` vertices that `references` "VMeshRef" leaves all use,
// side by side under the model's one part: the stream is stored once, however many
// parts show it.
inline Bytes SharedStreamFile(int columns, int rows, int references) {
    // As many triangles as the cells hold, up to the 65,535 indices a stream may have.
    const int triangles = std::min(2 * (columns - 1) * (rows - 1), 21845);
    const MeshList meshes = {SheetMesh("Hull", columns, rows, triangles)};
    NodeTree tree;
    BuildCompoundLayout(tree, meshes, BuildMeshDataStream(meshes));
    const NodeHandle part = tree.GetParent(tree.Registry().back());
    const Bytes record = MeshRefRecord("Hull.lod0.vms", 1);
    for (int r = 1; r < references; ++r) {
        tree.SetPayload(tree.InsertNode(part, "VMeshRef"), std::span<const std::uint8_t>(record));
    }
    return UtfLayout(tree).GetFileBytes();
}

// `meshes` meshes of `verticesEach` vertices (three: one triangle; one: a point), each of
// a material of its own, filling the stream's 65,535 vertices at most.
inline Bytes ManySmallMeshesFile(int meshes, int verticesEach) {
    MeshList list;
    list.reserve(static_cast<std::size_t>(meshes));
    for (int m = 0; m < meshes; ++m) {
        ExportMesh& mesh = list.emplace_back();
        SetMeshName(mesh.meshName, "Part" + std::to_string(m));
        SetMeshName(mesh.materialName, "Paint" + std::to_string(m));
        const float x = static_cast<float>(m % 256);
        const float z = static_cast<float>(m / 256);
        for (int v = 0; v < verticesEach; ++v) {
            const float offset = static_cast<float>(v) * 0.25f;
            mesh.vertices.push_back({{x + offset, 0, z + offset * offset}, {0, 1, 0}, 0, 0});
        }
        if (verticesEach == 3) {
            mesh.triangles = {0, 1, 2};
            mesh.faceNormals = {Vector3{0, 1, 0}};
        }
    }
    return TreeFileOf(list);
}

// `streams` library entries, each a stream of one mesh of three vertices and `triangles`
// triangles over them, each entry shown by a part of its own: the most triangles a byte
// of a file can hold, six bytes each.
inline Bytes ManyStreamsFile(int streams, int triangles) {
    NodeTree tree;
    const NodeHandle root = tree.InsertNode(NodeHandle(), "\\");
    const NodeHandle library = tree.InsertNode(root, "VMeshLibrary");
    std::vector<std::string> entries;
    for (int s = 0; s < streams; ++s) {
        ExportMesh mesh;
        SetMeshName(mesh.meshName, "Part" + std::to_string(s));
        const float x = static_cast<float>(s);
        for (const Vector3& p : {Vector3{x, 0, 0}, Vector3{x + 1, 0, 0}, Vector3{x, 1, 0}}) {
            mesh.vertices.push_back({{p.x, p.y, p.z}, {0, 0, 1}, 0, 0});
        }
        for (int t = 0; t < triangles; ++t) {
            mesh.triangles.insert(mesh.triangles.end(), {0, 1, 2});
        }
        mesh.faceNormals.assign(static_cast<std::size_t>(triangles), Vector3{0, 0, 1});
        entries.push_back("Part" + std::to_string(s) + ".lod0.vms");
        tree.SetPayload(tree.InsertNode(tree.InsertNode(library, entries.back()), "VMeshData"),
                        BuildMeshDataStream({mesh}));
    }
    for (const std::string& entry : entries) {
        const NodeHandle part = tree.InsertNode(root, entry.substr(0, entry.find('.')) + ".3db");
        const NodeHandle level = tree.InsertNode(tree.InsertNode(part, "MultiLevel"), "Level0");
        tree.SetPayload(tree.InsertNode(tree.InsertNode(level, "VMeshPart"), "VMeshRef"),
                        MeshRefRecord(entry, 1));
    }
    return UtfLayout(tree).GetFileBytes();
}

}  // namespace cmp
