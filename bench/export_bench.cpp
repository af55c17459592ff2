// The whole export of a model at the format's limits (65,535 vertices and 21,845
// triangles in ordinary meshes) with 0, 30 and 2,000 hardpoints, from extraction through
// the host's model functions to the written tree file, beside its floor: the same bytes
// written, read back and written again with plain file calls, as the export must at the
// least. Each run reports
//   ratio          export CPU time / floor CPU time (user and system, this process),
//                  both measured in the same iterations: CPU time, unlike the wall
//                  clock, holds still on a machine that others share;
//   wall_ratio     the same by the wall clock;
//   export_cpu_ms  the export's CPU time per run, to compare runs with one another;
//   peak/file      the most memory the export held at once / the size of the tree file,
//                  counted by a replaced global allocator.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

#include "mesh/mesh.h"
#include "plugin/plugin.h"
#include "tests/support/counting_allocator.h"
#include "tests/support/file_contents.h"
#include "tests/support/model_builder.h"
#include "tests/support/scratch_folder.h"

namespace cmp {
namespace {

using Clock = std::chrono::steady_clock;

// The CPU time this process has used, user and system, in seconds.
double ProcessSeconds() {
    return static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
}

constexpr int GridColumns = 257;
constexpr int GridRows = 255;  // 257 x 255 = 65,535 vertices
constexpr int TriangleLimit = 21845;

// A wavy sheet at the format's limits, and `hardpoints` small markers above it, spread
// over the sheet so that each has faces of its own nearby.
standin::ModelBuilder MakeModel(int hardpoints) {
    standin::ModelBuilder model;
    const ztMesh hull = model.AddMesh("Hull", model.AddMaterial("HullPaint"));
    for (int row = 0; row < GridRows; ++row) {
        for (int column = 0; column < GridColumns; ++column) {
            const float x = static_cast<float>(column) * 0.1f;
            const float z = static_cast<float>(row) * 0.1f;
            standin::ModelBuilder::AddVertex(hull, x, std::sin(x) * std::cos(z), z, x, z);
        }
    }
    int triangles = 0;
    for (int cell = 0; triangles < TriangleLimit; ++cell) {
        const int row = cell / (GridColumns - 1);
        const int column = cell % (GridColumns - 1);
        const auto corner = static_cast<std::uint16_t>(row * GridColumns + column);
        const auto right = static_cast<std::uint16_t>(corner + 1);
        const auto below = static_cast<std::uint16_t>(corner + GridColumns);
        standin::ModelBuilder::AddTriangle(hull, corner, below, right);
        if (++triangles < TriangleLimit) {
            standin::ModelBuilder::AddTriangle(hull, right, below,
                                               static_cast<std::uint16_t>(below + 1));
            ++triangles;
        }
    }
    for (int i = 0; i < hardpoints; ++i) {
        const std::string name =
            (i % 2 ? "Hp_Revolute_Turret" : "Hp_Fixed_Gun") + std::to_string(i);
        const ztMesh marker = model.AddMesh(name.c_str());
        const float x = static_cast<float>(i % 50) * 0.5f;
        const float z = static_cast<float>(i / 50) * 0.16f;
        for (const float offset : {0.0f, 0.05f, 0.1f}) {
            standin::ModelBuilder::AddVertex(marker, x + offset, 1.5f, z);
        }
    }
    return model;
}

// What the export must do at the least: the stream written and read back, the tree file
// written, each once with plain file calls.
void WriteAndReadFloor(const Bytes& stream, const Bytes& treeFile, const std::string& streamPath,
                       const std::string& treePath) {
    std::FILE* out = std::fopen(streamPath.c_str(), "wb");
    std::fwrite(stream.data(), 1, stream.size(), out);
    std::fclose(out);
    Bytes back(stream.size());
    std::FILE* in = std::fopen(streamPath.c_str(), "rb");
    benchmark::DoNotOptimize(std::fread(back.data(), 1, back.size(), in));
    std::fclose(in);
    std::remove(streamPath.c_str());
    std::FILE* tree = std::fopen(treePath.c_str(), "wb");
    std::fwrite(treeFile.data(), 1, treeFile.size(), tree);
    std::fclose(tree);
}

void BM_WholeExport(benchmark::State& state) {
    const standin::ModelBuilder model = MakeModel(static_cast<int>(state.range(0)));
    const ScratchFolder scratch(ScratchFolder::Enter::No, "bench");
    const std::string streamPath = scratch / TempStreamFileName;
    const std::string treePath = scratch / "export.cmp";
    const std::string floorPath = scratch / "floor.cmp";

    double exportSeconds = 0;
    double floorSeconds = 0;
    double exportCpu = 0;
    double floorCpu = 0;
    long long peakAboveStart = 0;
    // The floor's stream, built once outside every timed region.
    const Bytes stream = [&] {
        MeshList meshes;
        ExtractMeshes(model.model(), meshes);
        return BuildMeshDataStream(meshes);
    }();
    for (auto _ : state) {
        // The export, as the run does it from extraction on.
        const long long before = LiveBytes();
        ResetPeakBytes();
        const double cpuStart = ProcessSeconds();
        const Clock::time_point start = Clock::now();
        {
            MeshList meshes;
            ExtractMeshes(model.model(), meshes);
            TemporaryStream temporary(streamPath);
            if (!CheckFormatLimits(meshes) || !temporary.Write(meshes)) {
                state.SkipWithError("the model could not be exported");
                break;
            }
            std::unique_ptr<NodeTree> tree;
            if (!ReadBackBuildAndWriteTreeFile(meshes, temporary, treePath, tree)) {
                state.SkipWithError("the tree file could not be written");
                break;
            }
        }
        const Clock::time_point exported = Clock::now();
        const double cpuExported = ProcessSeconds();
        peakAboveStart = std::max(peakAboveStart, PeakBytes() - before);

        // The floor, on the bytes the export wrote.
        state.PauseTiming();
        const Bytes treeFile = ReadWholeFileBytes(treePath);
        state.ResumeTiming();
        const double cpuFloorStart = ProcessSeconds();
        const Clock::time_point floorStart = Clock::now();
        WriteAndReadFloor(stream, treeFile, streamPath, floorPath);
        const Clock::time_point floorEnd = Clock::now();
        floorCpu += ProcessSeconds() - cpuFloorStart;
        exportCpu += cpuExported - cpuStart;

        exportSeconds += std::chrono::duration<double>(exported - start).count();
        floorSeconds += std::chrono::duration<double>(floorEnd - floorStart).count();
    }
    const double fileBytes = static_cast<double>(ReadWholeFileBytes(treePath).size());
    state.counters["ratio"] = floorCpu > 0 ? exportCpu / floorCpu : 0;
    state.counters["wall_ratio"] = floorSeconds > 0 ? exportSeconds / floorSeconds : 0;
    state.counters["export_cpu_ms"] =
        benchmark::Counter(exportCpu * 1e3, benchmark::Counter::kAvgIterations);
    state.counters["export_ms"] =
        benchmark::Counter(exportSeconds * 1e3, benchmark::Counter::kAvgIterations);
    state.counters["floor_ms"] =
        benchmark::Counter(floorSeconds * 1e3, benchmark::Counter::kAvgIterations);
    state.counters["file_bytes"] = fileBytes;
    state.counters["peak/file"] =
        fileBytes > 0 ? static_cast<double>(peakAboveStart) / fileBytes : 0;
}
BENCHMARK(BM_WholeExport)->Arg(0)->Arg(30)->Arg(2000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace cmp
