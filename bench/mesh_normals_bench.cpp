// Vertex and face normals of one mesh at the format's limits (32,767 vertices, 21,845
// triangles): the linear pass against the quadratic reference that tests every
// triangle for every vertex.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "mesh/normals.h"
#include "tests/mesh/reference_normals.h"

namespace {

constexpr int kVertices = 32767;
constexpr int kTriangles = 21845;

struct Mesh {
    std::vector<ExportVertex> vertices;
    std::vector<std::uint16_t> triangles;
};

// A fixed pseudo-random mesh: a small linear congruential generator keeps it the same
// on every platform and run.
Mesh MakeMesh() {
    std::uint32_t state = 12345;
    auto next = [&state] {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    };
    Mesh mesh;
    for (int v = 0; v < kVertices; ++v) {
        const float x = static_cast<float>(next() % 2000) * 0.01f - 10.0f;
        const float y = static_cast<float>(next() % 2000) * 0.01f - 10.0f;
        const float z = static_cast<float>(next() % 2000) * 0.01f - 10.0f;
        mesh.vertices.push_back({{x, y, z}, {0.0f, 1.0f, 0.0f}, 0.0f, 0.0f});
    }
    for (int t = 0; t < 3 * kTriangles; ++t) {
        mesh.triangles.push_back(static_cast<std::uint16_t>(next() % kVertices));
    }
    return mesh;
}

void BM_LinearNormals(benchmark::State& state) {
    Mesh mesh = MakeMesh();
    for (auto _ : state) {
        benchmark::DoNotOptimize(GenerateNormals(mesh.vertices, mesh.triangles));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_LinearNormals)->Unit(benchmark::kMicrosecond);

void BM_QuadraticReferenceNormals(benchmark::State& state) {
    Mesh mesh = MakeMesh();
    for (auto _ : state) {
        benchmark::DoNotOptimize(reference::QuadraticNormals(mesh.vertices, mesh.triangles));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_QuadraticReferenceNormals)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
