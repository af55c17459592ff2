// The exporter's own mesh records: one ExportMesh per host mesh, in host order.
#pragma once

#include <bit>
#include <cmath>
#include <cstdint>
#include <vector>

namespace cmp {

struct Vector3 {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
};

// One vertex as the mesh data stream stores it: eight little-endian floats.
struct ExportVertex {
    float position[3];
    float normal[3];
    float u;
    float v;
};
static_assert(sizeof(ExportVertex) == 32, "the mesh data stream stores 32-byte vertices");

// False when a position component or texture coordinate is NaN or infinite.
inline bool HasFiniteValues(const ExportVertex& vertex) {
    return std::isfinite(vertex.position[0]) && std::isfinite(vertex.position[1]) &&
           std::isfinite(vertex.position[2]) && std::isfinite(vertex.u) && std::isfinite(vertex.v);
}

// Host units to game units: the float nearest 1/92, applied by one single-precision
// multiplication (not a division, which differs in the last bit for some values).
inline const float ModelScale = std::bit_cast<float>(std::uint32_t{0x3C321643});
inline const float MinusModelScale = std::bit_cast<float>(std::uint32_t{0xBC321643});

// Host name buffers: the host is told 199 bytes, so the last byte always stays 0.
inline constexpr int NameFieldSize = 200;
inline constexpr int HostNameCapacity = NameFieldSize - 1;

struct ExportMesh {
    std::vector<ExportVertex> vertices;     // host order
    std::vector<std::uint16_t> triangles;   // three corners per triangle, local to the mesh
    char materialName[NameFieldSize] = {};  // NUL-terminated; empty when there is no material
    char meshName[NameFieldSize] = {};      // NUL-terminated
    // Whether meshName begins with "hp" in any letter case (IsHardpointName), set once at
    // extraction; every later step asks this flag, never the name.
    bool isHardpoint = false;
    // One unit normal per triangle; (0,0,0) for a degenerate one, and for a triangle
    // naming a vertex the mesh lacks (left out of normals and the hardpoint search; the
    // format check refuses such a model). None for a hardpoint's mesh, whose vertex
    // normals also keep DefaultVertexNormal: neither is ever written or used.
    std::vector<Vector3> faceNormals;

    std::size_t GetTriangleCount() const { return triangles.size() / 3; }
};

// The run's ordered list of meshes, hardpoint meshes included.
using MeshList = std::vector<ExportMesh>;

}  // namespace cmp
