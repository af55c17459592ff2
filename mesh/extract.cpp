#include "mesh/mesh.h"

#include <algorithm>

namespace cmp {

namespace {

std::int32_t UsableCount(std::int32_t reported, std::int32_t most) {
    return std::clamp(reported, std::int32_t{0}, most);
}

void ReadMaterialName(ztModel model, ztMesh mesh, ExportMesh& record) {
    // The index goes back to the host unchecked: only the host knows its materials. A
    // mesh without a material gets a null handle from a careful host, and then the name
    // stays empty (identifier 0).
    const ztMaterial material = ztModel_GetMaterialAt(model, ztMesh_GetMaterialIndex(mesh));
    if (material != nullptr) {
        ztMaterial_GetName(material, record.materialName, HostNameCapacity);
    }
}

ExportVertex ReadVertex(ztMesh mesh, std::int32_t index) {
    float position[3] = {0.0f, 0.0f, 0.0f};
    float texCoords[2] = {0.0f, 0.0f};
    if (const ztVertex vertex = ztMesh_GetVertexAt(mesh, index); vertex != nullptr) {
        ztVertex_GetVertex(vertex, position);
        ztVertex_GetTexCoords(vertex, texCoords);
    }
    // Host units to game units and axes: negating y and z together is a half turn about
    // x, so the winding of every triangle keeps its sense.
    return ExportVertex{
        {position[0] * ModelScale, position[1] * MinusModelScale, position[2] * MinusModelScale},
        {DefaultVertexNormal.x, DefaultVertexNormal.y, DefaultVertexNormal.z},
        texCoords[0],
        texCoords[1]};
}

void ReadVertices(ztMesh mesh, ExportMesh& record) {
    const std::int32_t count = UsableCount(ztMesh_GetVertexCount(mesh), MaxHostElementCount);
    record.vertices.reserve(static_cast<std::size_t>(count));
    for (std::int32_t j = 0; j < count; ++j) {
        record.vertices.push_back(ReadVertex(mesh, j));
    }
}

void ReadTriangles(ztMesh mesh, ExportMesh& record) {
    const std::int32_t count = UsableCount(ztMesh_GetTriangleCount(mesh), MaxHostElementCount);
    record.triangles.resize(3 * static_cast<std::size_t>(count));
    std::uint16_t* corners = record.triangles.data();
    for (std::int32_t t = 0; t < count; ++t, corners += 3) {
        // The three corners stay 0 where the host gives no triangle.
        if (const ztTriangle triangle = ztMesh_GetTriangleAt(mesh, t); triangle != nullptr) {
            ztTriangle_GetVertexIndices(triangle, corners);
        }
    }
}

void ReadMesh(ztModel model, ztMesh mesh, ExportMesh& record) {
    ReadMaterialName(model, mesh, record);
    ztMesh_GetName(mesh, record.meshName, HostNameCapacity);
    record.isHardpoint = IsHardpointName(record.meshName);
    ReadVertices(mesh, record);
    ReadTriangles(mesh, record);
    // Normals come from the converted positions. A hardpoint's mesh only marks a place:
    // none of its normals is ever written or used.
    if (!record.isHardpoint) {
        record.faceNormals = GenerateNormals(record.vertices, record.triangles);
    }
}

}  // namespace

void ExtractMeshes(ztModel model, MeshList& meshes) {
    if (model == nullptr) {
        return;
    }
    // The host expects this call before the mesh loop; its answer is not needed.
    static_cast<void>(ztModel_GetMaterialCount(model));
    const std::int32_t meshCount = UsableCount(ztModel_GetMeshCount(model), MaxHostMeshCount);
    meshes.reserve(meshes.size() + static_cast<std::size_t>(meshCount));
    for (std::int32_t i = 0; i < meshCount; ++i) {
        // The record joins the list first, so a null mesh handle still keeps the list in
        // host order (as an empty mesh).
        ExportMesh& record = meshes.emplace_back();
        if (const ztMesh mesh = ztModel_GetMeshAt(model, i); mesh != nullptr) {
            ReadMesh(model, mesh, record);
        }
    }
}

}  // namespace cmp
