// Vertex and face normals of one mesh at the format's limits (32,767 vertices, 21,845
// triangles): the linear pass against the quadratic reference that tests every
// triangle for every vertex. Two shapes: a connected surface, whose triangles use
// neighbouring vertices as modelled surfaces do, and a soup of triangles over random
// vertices, the worst case for the caches.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "mesh/mesh.h"
#include "tests/mesh/reference_normals.h"

namespace cmp {

namespace {

constexpr int Vertices = 32767;
constexpr int Triangles = 21845;

struct Mesh {
    std::vector<ExportVertex> vertices;
    std::vector<std::uint16_t> triangles;
};

ExportVertex At(float x, float y, float z) {
    return {{x, y, z}, {0.0f, 1.0f, 0.0f}, 0.0f, 0.0f};
}

// A wavy ribbon: vertex i lies on one of two rows, and triangle t joins vertices t, t+1
// and t+2 with alternating winding. Vertices past the ribbon's end stay unused.
Mesh MakeSurface() {
    Mesh mesh;
    for (int i = 0; i < Vertices; ++i) {
        const float along = static_cast<float>(i / 2) * 0.1f;
        mesh.vertices.push_back(At(along, static_cast<float>(i % 2), std::sin(along * 0.37f)));
    }
    for (int t = 0; t < Triangles; ++t) {
        const auto first = static_cast<std::uint16_t>(t);
        const auto second = static_cast<std::uint16_t>(t % 2 == 0 ? t + 1 : t + 2);
        const auto third = static_cast<std::uint16_t>(t % 2 == 0 ? t + 2 : t + 1);
        mesh.triangles.insert(mesh.triangles.end(), {first, second, third});
    }
    return mesh;
}

// A fixed pseudo-random soup: a small linear congruential generator keeps it the same on
// every platform and run.
Mesh MakeSoup() {
    std::uint32_t state = 12345;
    auto next = [&state] {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    };
    auto coordinate = [&next] { return static_cast<float>(next() % 2000) * 0.01f - 10.0f; };
    Mesh mesh;
    for (int v = 0; v < Vertices; ++v) {
        const float x = coordinate();
        const float y = coordinate();
        mesh.vertices.push_back(At(x, y, coordinate()));
    }
    for (int t = 0; t < 3 * Triangles; ++t) {
        mesh.triangles.push_back(static_cast<std::uint16_t>(next() % Vertices));
    }
    return mesh;
}

template <Mesh (*make)()>
void BM_LinearNormals(benchmark::State& state) {
    Mesh mesh = make();
    for (auto _ : state) {
        benchmark::DoNotOptimize(GenerateNormals(mesh.vertices, mesh.triangles));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_LinearNormals<MakeSurface>)
    ->Name("LinearNormals/surface")
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LinearNormals<MakeSoup>)->Name("LinearNormals/soup")->Unit(benchmark::kMicrosecond);

template <Mesh (*make)()>
void BM_QuadraticReferenceNormals(benchmark::State& state) {
    Mesh mesh = make();
    for (auto _ : state) {
        benchmark::DoNotOptimize(reference::QuadraticNormals(mesh.vertices, mesh.triangles));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_QuadraticReferenceNormals<MakeSurface>)
    ->Name("QuadraticReferenceNormals/surface")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK(BM_QuadraticReferenceNormals<MakeSoup>)
    ->Name("QuadraticReferenceNormals/soup")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

}  // namespace

}  // namespace cmp
