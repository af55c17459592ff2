// One export's mesh work on a model at the format's limits (65,535 vertices and 21,845
// triangles in ordinary meshes, plus a hardpoint), read through the stand-in model
// library: extraction with normals, the format check, and the mesh data stream.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

#include "mesh/mesh.h"
#include "plugin/plugin.h"
#include "tests/support/model_builder.h"
#include "tests/support/scratch_folder.h"

namespace cmp {

namespace {

constexpr int Meshes = 5;
constexpr int VerticesPerMesh = 13107;  // 5 x 13,107 = 65,535
constexpr int TrianglesPerMesh = 4369;  // 5 x 4,369 = 21,845

standin::ModelBuilder MakeModel() {
    standin::ModelBuilder model;
    std::uint32_t state = 777;
    auto next = [&state] {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    };
    const int material = model.AddMaterial("Hull");
    for (int m = 0; m < Meshes; ++m) {
        const ztMesh mesh = model.AddMesh(("Part" + std::to_string(m)).c_str(), material);
        for (int v = 0; v < VerticesPerMesh; ++v) {
            standin::ModelBuilder::AddVertex(
                mesh, static_cast<float>(next() % 1000), static_cast<float>(next() % 1000),
                static_cast<float>(next() % 1000), static_cast<float>(v % 64) / 64.0f, 0.5f);
        }
        for (int t = 0; t < TrianglesPerMesh; ++t) {
            standin::ModelBuilder::AddTriangle(
                mesh, static_cast<std::uint16_t>(next() % VerticesPerMesh),
                static_cast<std::uint16_t>(next() % VerticesPerMesh),
                static_cast<std::uint16_t>(next() % VerticesPerMesh));
        }
    }
    const ztMesh hardpoint = model.AddMesh("Hp_Fixed_HpEngine01", material);
    standin::ModelBuilder::AddVertex(hardpoint, 0, 0, 0);
    standin::ModelBuilder::AddVertex(hardpoint, 1, 0, 0);
    standin::ModelBuilder::AddVertex(hardpoint, 0, 1, 0);
    standin::ModelBuilder::AddTriangle(hardpoint, 0, 1, 2);
    return model;
}

void BM_ExtractCheckBuildStream(benchmark::State& state) {
    const standin::ModelBuilder model = MakeModel();
    std::size_t streamBytes = 0;
    for (auto _ : state) {
        MeshList meshes;
        ExtractMeshes(model.model(), meshes);
        if (!CheckFormatLimits(meshes).ok()) {
            state.SkipWithError("the benchmark model does not fit the format");
            break;
        }
        const Bytes stream = BuildMeshDataStream(meshes);
        streamBytes = stream.size();
        benchmark::DoNotOptimize(stream.data());
    }
    state.counters["streamBytes"] = static_cast<double>(streamBytes);
}
BENCHMARK(BM_ExtractCheckBuildStream)->Unit(benchmark::kMillisecond);

void BM_ExtractCheckWriteStream(benchmark::State& state) {
    const standin::ModelBuilder model = MakeModel();
    const ScratchFolder scratch(ScratchFolder::Enter::No, "bench");
    TemporaryStream stream(scratch / "mesh_export_bench.vms");
    for (auto _ : state) {
        MeshList meshes;
        ExtractMeshes(model.model(), meshes);
        if (!CheckFormatLimits(meshes).ok() || !stream.Write(meshes).ok()) {
            state.SkipWithError("could not store the benchmark model");
            break;
        }
    }
}
BENCHMARK(BM_ExtractCheckWriteStream)->Unit(benchmark::kMillisecond);

}  // namespace

}  // namespace cmp
