// Writing the tree of a large model: 65,535 vertices in ordinary meshes (with the most
// triangles the stream allows) and 2,000 hardpoints. Measures the string table, the
// record emission, the nearest-face search of the hardpoints, and the whole write.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "mesh/mesh.h"
#include "tests/support/scratch_folder.h"
#include "tree/tree.h"
#include "utf/utf.h"

namespace cmp {

namespace {

constexpr int GridColumns = 257;
constexpr int GridRows = 255;  // 257 x 255 = 65,535 vertices
constexpr int TriangleLimit = 21845;
constexpr int HardpointCount = 2000;

void SetName(char (&field)[NameFieldSize], const std::string& name) {
    std::snprintf(field, sizeof field, "%s", name.c_str());
}

// A wavy sheet: one mesh of 65,535 vertices and 21,845 triangles.
ExportMesh Hull() {
    ExportMesh mesh;
    SetName(mesh.meshName, "Hull");
    SetName(mesh.materialName, "HullPaint");
    for (int row = 0; row < GridRows; ++row) {
        for (int column = 0; column < GridColumns; ++column) {
            const float x = static_cast<float>(column) * 0.1f;
            const float z = static_cast<float>(row) * 0.1f;
            const float y = std::sin(x) * std::cos(z);
            mesh.vertices.push_back({{x, y, z}, {0, 1, 0}, x, z});
        }
    }
    for (int cell = 0; static_cast<int>(mesh.triangles.size()) < 3 * TriangleLimit; ++cell) {
        const int row = cell / (GridColumns - 1);
        const int column = cell % (GridColumns - 1);
        const auto corner = static_cast<std::uint16_t>(row * GridColumns + column);
        const std::uint16_t right = corner + 1;
        const auto below = static_cast<std::uint16_t>(corner + GridColumns);
        mesh.triangles.insert(mesh.triangles.end(), {corner, below, right});
        if (static_cast<int>(mesh.triangles.size()) < 3 * TriangleLimit) {
            mesh.triangles.insert(mesh.triangles.end(),
                                  {right, below, static_cast<std::uint16_t>(below + 1)});
        }
    }
    mesh.faceNormals = GenerateNormals(mesh.vertices, mesh.triangles);
    return mesh;
}

// Small hardpoint meshes spread over the sheet, Fixed and Revolute in turn.
ExportMesh Hardpoint(int number) {
    ExportMesh mesh;
    char name[64];
    std::snprintf(name, sizeof name, number % 2 ? "Hp_Revolute_Turret%04d" : "Hp_Fixed_Gun%04d",
                  number);
    SetName(mesh.meshName, name);
    mesh.isHardpoint = true;
    const float x = static_cast<float>(number % 50) * 0.5f;
    const float z = static_cast<float>(number / 50) * 0.6f;
    for (float offset : {0.0f, 0.05f, 0.1f}) {
        mesh.vertices.push_back({{x + offset, 1.5f, z}, {0, 1, 0}, 0, 0});
    }
    return mesh;
}

const MeshList& Model() {
    static const MeshList meshes = [] {
        MeshList list;
        list.push_back(Hull());
        for (int i = 0; i < HardpointCount; ++i) {
            list.push_back(Hardpoint(i));
        }
        return list;
    }();
    return meshes;
}

const NodeTree& ModelTree() {
    static const NodeTree tree = [] {
        NodeTree built;
        BuildCompoundLayout(built, Model(), BuildMeshDataStream(Model()));
        return built;
    }();
    return tree;
}

void BM_StringTable(benchmark::State& state) {
    const NodeTree& tree = ModelTree();
    for (auto _ : state) {
        StringTable table;
        for (NodeHandle node : tree.Registry()) {
            table.Add(tree.GetName(node));
        }
        std::int64_t sum = 0;
        for (NodeHandle node : tree.Registry()) {
            sum += table.Add(tree.GetName(node));  // each one there already
        }
        benchmark::DoNotOptimize(sum);
    }
    state.counters["nodes"] = static_cast<double>(tree.GetSize());
}
BENCHMARK(BM_StringTable)->Unit(benchmark::kMicrosecond);

void BM_Layout(benchmark::State& state) {
    const NodeTree& tree = ModelTree();
    for (auto _ : state) {
        UtfLayout layout(tree);
        benchmark::DoNotOptimize(layout);
    }
    state.counters["bytes"] = static_cast<double>(UtfLayout(tree).GetFileBytes().size());
}
BENCHMARK(BM_Layout)->Unit(benchmark::kMicrosecond);

void BM_HardpointSearch(benchmark::State& state) {
    for (auto _ : state) {
        NodeTree tree;
        AddHardpoints(tree, tree.InsertNode(NodeHandle(), "Hardpoints"), Model());
        benchmark::DoNotOptimize(tree.GetSize());
    }
    state.counters["faces x hardpoints"] = static_cast<double>(TriangleLimit) * HardpointCount;
}
BENCHMARK(BM_HardpointSearch)->Unit(benchmark::kMillisecond);

void BM_WriteFile(benchmark::State& state) {
    const NodeTree& tree = ModelTree();
    const ScratchFolder scratch(ScratchFolder::Enter::No, "bench");
    const std::string path = scratch / "tree_write_bench.cmp";
    for (auto _ : state) {
        if (!WriteUtfFile(tree, path.c_str())) {
            state.SkipWithError("the file could not be written");
            break;
        }
    }
}
BENCHMARK(BM_WriteFile)->Unit(benchmark::kMicrosecond);

// Everything after the mesh data stream: the layout with its hardpoints, then the file.
void BM_BuildAndWrite(benchmark::State& state) {
    const Bytes stream = BuildMeshDataStream(Model());
    const ScratchFolder scratch(ScratchFolder::Enter::No, "bench");
    const std::string path = scratch / "tree_write_bench.cmp";
    for (auto _ : state) {
        NodeTree tree;
        BuildCompoundLayout(tree, Model(), stream);
        if (!WriteUtfFile(tree, path.c_str())) {
            state.SkipWithError("the file could not be written");
            break;
        }
    }
}
BENCHMARK(BM_BuildAndWrite)->Unit(benchmark::kMillisecond);

}  // namespace

}  // namespace cmp
