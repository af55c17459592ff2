// cmpinfo's picture (--render) of the model at the format's limits (65,535 vertices and
// 21,845 triangles in one sheet) with 30, 2,000 and 20,000 hardpoints over it, at the
// default size: from the model read back to the PNG's bytes. Each run also draws the
// 30-hardpoint model in the same iterations and reports
//   ratio     picture CPU time / the 30-hardpoint picture's CPU time (user and system,
//             this process): hardpoints' marks and names must not cost more than the
//             model's triangles, so at 2,000 hardpoints this stays at most 2.
#include <benchmark/benchmark.h>

#include <ctime>
#include <string>

#include "tests/tools/heavy_models.h"
#include "tools/cmpinfo/picture/picture.h"
#include "tools/cmpinfo/read/read.h"

namespace cmp {
namespace {

double ProcessSeconds() {
    return static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
}

StoredModel ReadModel(int hardpoints) {
    const MeshList meshes = LimitsModelWithHardpoints(hardpoints);
    NodeTree tree;
    BuildCompoundLayout(tree, meshes, BuildMeshDataStream(meshes));
    Result<StoredModel> model = ReadStoredModel(tree);
    return model ? std::move(model.value()) : StoredModel{};
}

// The whole picture of `model`: its scene, its layout, the drawing and the PNG. False
// when Cairo failed.
bool DrawWhole(const StoredModel& model) {
    const PictureScene scene = BuildPictureScene(model);
    const PictureLayout layout = LayOutPicture(scene, DefaultPictureWidth, DefaultPictureHeight);
    const Result<PictureSurface> surface = DrawPicture(scene, layout);
    if (!surface) {
        return false;
    }
    const Result<Bytes> png = EncodePng(surface.value().get());
    benchmark::DoNotOptimize(png);
    return static_cast<bool>(png);
}

void BM_Picture(benchmark::State& state) {
    const StoredModel model = ReadModel(static_cast<int>(state.range(0)));
    const StoredModel base = ReadModel(30);
    double seconds = 0;
    double baseSeconds = 0;
    for (auto _ : state) {
        const double start = ProcessSeconds();
        if (!DrawWhole(model)) {
            state.SkipWithError("the picture could not be drawn");
            break;
        }
        const double drawn = ProcessSeconds();
        state.PauseTiming();
        const double baseStart = ProcessSeconds();
        DrawWhole(base);
        baseSeconds += ProcessSeconds() - baseStart;
        state.ResumeTiming();
        seconds += drawn - start;
    }
    state.counters["ratio"] = baseSeconds > 0 ? seconds / baseSeconds : 0;
    state.counters["picture_ms"] =
        benchmark::Counter(seconds * 1e3, benchmark::Counter::kAvgIterations);
    state.counters["hardpoints"] = static_cast<double>(model.hardpoints.size());
}
BENCHMARK(BM_Picture)->Arg(30)->Arg(2000)->Arg(20000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace cmp
