// Small meshes for the tree tests, built directly as records (no host, no normal pass):
// the tests choose the face normals themselves.
#pragma once

#include <cstring>
#include <initializer_list>
#include <string>

#include "mesh/mesh.h"

namespace cmp {

inline ExportMesh MakeMesh(const std::string& name, std::initializer_list<Vector3> positions,
                           std::initializer_list<std::uint16_t> corners = {},
                           std::initializer_list<Vector3> faceNormals = {}) {
    ExportMesh mesh;
    std::strncpy(mesh.meshName, name.c_str(), HostNameCapacity);
    mesh.isHardpoint = IsHardpointName(mesh.meshName);  // as extraction sets it
    for (const Vector3& p : positions) {
        mesh.vertices.push_back(ExportVertex{{p.x, p.y, p.z}, {0.0f, 1.0f, 0.0f}, 0.0f, 0.0f});
    }
    mesh.triangles = corners;
    mesh.faceNormals = faceNormals;
    return mesh;
}

// One triangle whose centre is `centre`, with the given face normal.
inline ExportMesh FaceAt(const std::string& name, Vector3 centre, Vector3 normal) {
    return MakeMesh(name,
                    {{centre.x - 1.0f, centre.y, centre.z},
                     {centre.x + 1.0f, centre.y, centre.z},
                     {centre.x, centre.y, centre.z}},
                    {0, 1, 2}, {normal});
}

}  // namespace cmp
