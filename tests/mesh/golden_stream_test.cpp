// A whole export's mesh work against a stream computed by a separate implementation of
// the float rules (written apart from this code, in another language): pseudo-random
// meshes with shared and repeated corners, coincident positions, a hardpoint mesh, a
// material index past the end and a negative one. Any change in the last bit of a
// position or normal, or in the layout, shows here.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>

#include "mesh/mesh.h"
#include "tests/support/file_contents.h"
#include "tests/support/model_builder.h"

namespace cmp {

namespace {

// The model the golden stream was computed for; the generator and the order of its
// draws must stay exactly as they are.
standin::ModelBuilder MakeGoldenModel() {
    std::uint32_t state = 4242;
    auto next = [&state] {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    };
    standin::ModelBuilder model;
    model.AddMaterial("Steel");
    model.AddMaterial("GLASS_2");
    for (int m = 0; m < 6; ++m) {
        char name[32];
        std::snprintf(name, sizeof name, m == 3 ? "HpFixed_%d" : "Part%d", m);
        const int material = static_cast<int>(next() % 3) - (m == 4 ? 5 : 0);
        const ztMesh mesh = model.AddMesh(name, material);
        const int vertexCount = 3 + static_cast<int>(next() % 40);
        const int triangleCount = static_cast<int>(next() % 60);
        for (int v = 0; v < vertexCount; ++v) {
            float values[5];
            for (float& value : values) {
                value = static_cast<float>(static_cast<int>(next() % 20001) - 10000) / 37.0f;
            }
            if (next() % 9 == 0) {
                values[1] = values[0];
            }
            standin::ModelBuilder::AddVertex(mesh, values[0], values[1], values[2], values[3],
                                             values[4]);
        }
        for (int t = 0; t < triangleCount; ++t) {
            const unsigned a = next() % vertexCount;
            unsigned b = next() % vertexCount;
            const unsigned c = next() % vertexCount;
            if (next() % 7 == 0) {
                b = a;
            }
            standin::ModelBuilder::AddTriangle(mesh, static_cast<std::uint16_t>(a),
                                               static_cast<std::uint16_t>(b),
                                               static_cast<std::uint16_t>(c));
        }
    }
    return model;
}

TEST(GoldenStream, RandomModelMatchesIndependentComputation) {
    const char* golden = MESH_GOLDEN_DIR "/random_model.vms";
    ASSERT_TRUE(std::filesystem::is_regular_file(golden)) << "missing golden file";
    const Bytes expected = ReadWholeFileBytes(golden);

    const standin::ModelBuilder model = MakeGoldenModel();
    MeshList meshes;
    ExtractMeshes(model.model(), meshes);
    ASSERT_TRUE(CheckFormatLimits(meshes).ok());
    const Bytes stream = BuildMeshDataStream(meshes);
    ASSERT_EQ(stream.size(), expected.size());
    for (std::size_t i = 0; i < stream.size(); ++i) {
        ASSERT_EQ(stream[i], expected[i]) << "first difference at byte " << i;
    }
}

}  // namespace

}  // namespace cmp
