// Small helpers shared by the mesh tests: building records and comparing floats by bits.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <vector>

#include "mesh/mesh.h"

namespace cmp {

inline std::uint32_t Bits(float value) {
    return std::bit_cast<std::uint32_t>(value);
}
inline float FromBits(std::uint32_t bits) {
    return std::bit_cast<float>(bits);
}

inline ExportVertex VertexAt(float x, float y, float z, float u = 0.0f, float v = 0.0f) {
    return ExportVertex{{x, y, z}, {0.0f, 1.0f, 0.0f}, u, v};
}

inline std::vector<ExportVertex> VerticesAt(
    std::initializer_list<std::initializer_list<float>> positions) {
    std::vector<ExportVertex> vertices;
    for (const auto& p : positions) {
        const float* xyz = p.begin();
        vertices.push_back(VertexAt(xyz[0], xyz[1], xyz[2]));
    }
    return vertices;
}

// A record as extraction would leave it, without normals.
inline ExportMesh MeshRecord(const char* name, const char* material,
                             std::vector<ExportVertex> vertices,
                             std::vector<std::uint16_t> triangles) {
    ExportMesh mesh;
    std::strncpy(mesh.meshName, name, HostNameCapacity);
    std::strncpy(mesh.materialName, material, HostNameCapacity);
    mesh.isHardpoint = (name[0] == 'h' || name[0] == 'H') && (name[1] == 'p' || name[1] == 'P');
    mesh.vertices = std::move(vertices);
    mesh.triangles = std::move(triangles);
    return mesh;
}

}  // namespace cmp
