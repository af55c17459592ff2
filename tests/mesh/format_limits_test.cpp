#include "mesh/mesh.h"

#include <gtest/gtest.h>

#include <limits>
#include <ostream>
#include <sstream>

#include "tests/mesh/mesh_test_support.h"

namespace cmp {

namespace {

std::vector<ExportVertex> Vertices(int count) {
    return std::vector<ExportVertex>(static_cast<std::size_t>(count), VertexAt(0, 0, 0));
}

std::vector<std::uint16_t> Triangles(int count) {
    std::vector<std::uint16_t> triangles;
    for (int t = 0; t < count; ++t) {
        triangles.insert(triangles.end(), {0, 1, 2});
    }
    return triangles;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

struct LimitCase {
    const char* name;
    MeshList meshes;
    std::vector<std::string> expectedLines;  // empty: the list can be stored
};

void PrintTo(const LimitCase& c, std::ostream* os) {
    *os << c.name;
}

class FormatLimits : public ::testing::TestWithParam<LimitCase> {};

TEST_P(FormatLimits, Verdict) {
    const Status status = CheckFormatLimits(GetParam().meshes);
    if (GetParam().expectedLines.empty()) {
        EXPECT_TRUE(status.ok()) << status.message();
    } else {
        ASSERT_FALSE(status.ok());
        EXPECT_EQ(Lines(status.message()), GetParam().expectedLines);
    }
}

MeshList List(std::initializer_list<ExportMesh> meshes) {
    return MeshList(meshes);
}

ExportMesh WithVertex(ExportMesh mesh, std::size_t index, ExportVertex vertex) {
    mesh.vertices[index] = vertex;
    return mesh;
}

constexpr float NaN = std::numeric_limits<float>::quiet_NaN();
constexpr float Inf = std::numeric_limits<float>::infinity();

INSTANTIATE_TEST_SUITE_P(
    Lists, FormatLimits,
    ::testing::Values(
        LimitCase{"Empty", {}, {}},
        LimitCase{"AtEveryLimit",
                  List({MeshRecord("A", "m", Vertices(65000), Triangles(21000)),
                        MeshRecord("B", "m", Vertices(535), Triangles(845))}),
                  {}},
        LimitCase{"OneVertexTooMany",
                  List({MeshRecord("A", "m", Vertices(65000), Triangles(1)),
                        MeshRecord("Hull", "m", Vertices(536), Triangles(1))}),
                  {"the model's meshes have 65536 vertices in all (mesh \"Hull\" passes the "
                   "limit); at most 65535 fit"}},
        LimitCase{"OneTriangleTooMany",
                  List({MeshRecord("Hull", "m", Vertices(3), Triangles(21846))}),
                  {"the model's meshes have 21846 triangles in all (65538 corners; mesh "
                   "\"Hull\" passes the limit); at most 21845 triangles (65535 corners) fit"}},
        // Hardpoint meshes are not stored in the stream and so count for no total.
        LimitCase{"HardpointsDoNotCount",
                  List({MeshRecord("A", "m", Vertices(65535), Triangles(21845)),
                        MeshRecord("HpBig", "m", Vertices(70000), Triangles(30000))}),
                  {}},
        LimitCase{"CornerBeyondVertices",
                  List({MeshRecord("Hull", "m", Vertices(64), {0, 1, 2, 3, 70, 5, 80, 1, 2})}),
                  {"mesh \"Hull\" uses vertex 70 but has 64 vertices (triangle 1)"}},
        // Corners are checked in every mesh: the hardpoint code reads them too.
        LimitCase{"CornerBeyondVerticesInHardpoint",
                  List({MeshRecord("Hp_Fixed_Gun", "m", Vertices(3), {0, 1, 3})}),
                  {"mesh \"Hp_Fixed_Gun\" uses vertex 3 but has 3 vertices (triangle 0)"}},
        LimitCase{"NotANumber",
                  List({WithVertex(MeshRecord("Hull", "m", Vertices(5), Triangles(1)), 4,
                                   VertexAt(0, NaN, 0))}),
                  {"mesh \"Hull\" has a position or texture coordinate that is not a finite "
                   "number (vertex 4)"}},
        LimitCase{"InfiniteTextureCoordinate",
                  List({WithVertex(MeshRecord("Hp_Fixed_Gun", "m", Vertices(3), Triangles(1)), 0,
                                   VertexAt(0, 0, 0, 0, -Inf))}),
                  {"mesh \"Hp_Fixed_Gun\" has a position or texture coordinate that is not a "
                   "finite number (vertex 0)"}},
        LimitCase{"EveryReasonListed",
                  List({WithVertex(MeshRecord("A", "m", Vertices(40000), {0, 1, 40000}), 7,
                                   VertexAt(Inf, 0, 0)),
                        MeshRecord("B", "m", Vertices(30000), Triangles(1))}),
                  {"the model's meshes have 70000 vertices in all (mesh \"B\" passes the "
                   "limit); at most 65535 fit",
                   "mesh \"A\" uses vertex 40000 but has 40000 vertices (triangle 0)",
                   "mesh \"A\" has a position or texture coordinate that is not a finite "
                   "number (vertex 7)"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FormatLimits, MeshCountLimit) {
    MeshList meshes(65535);
    meshes.push_back(MeshRecord("HpNotCounted", "", {}, {}));
    EXPECT_TRUE(CheckFormatLimits(meshes).ok());

    std::strcpy(meshes.back().meshName, "Last");
    meshes.back().isHardpoint = false;
    const Status status = CheckFormatLimits(meshes);
    ASSERT_FALSE(status.ok());
    EXPECT_EQ(status.message(),
              "the model has 65536 meshes besides hardpoints (from mesh \"Last\" on, too "
              "many); at most 65535 fit");
}

TEST(FormatLimits, LongListsAreCut) {
    MeshList meshes;
    for (int m = 0; m < 14; ++m) {
        meshes.push_back(MeshRecord("Bad", "m", Vertices(2), {0, 1, 2}));
    }
    const Status status = CheckFormatLimits(meshes);
    ASSERT_FALSE(status.ok());
    const std::vector<std::string> lines = Lines(status.message());
    ASSERT_EQ(lines.size(), MaxListedProblems + 1);
    EXPECT_EQ(lines.back(), "and 4 more problems");
}

// The checks look at many values at once; a fault is found wherever it stands among
// them, and at the very edge of the vertex range.
TEST(FormatLimits, FindsAFaultWhereverItStands) {
    for (const int triangles : {1, 2, 3, 5, 6, 11}) {
        for (int corner = 0; corner < 3 * triangles; ++corner) {
            for (const int vertexCount : {1, 64, 65535}) {
                ExportMesh mesh =
                    MeshRecord("Hull", "m", Vertices(vertexCount),
                               std::vector<std::uint16_t>(3 * static_cast<std::size_t>(triangles)));
                mesh.triangles[static_cast<std::size_t>(corner)] =
                    static_cast<std::uint16_t>(vertexCount);
                EXPECT_EQ(Lines(CheckFormatLimits(List({mesh})).message()),
                          std::vector<std::string>{
                              "mesh \"Hull\" uses vertex " + std::to_string(vertexCount) +
                              " but has " + std::to_string(vertexCount) + " vertices (triangle " +
                              std::to_string(corner / 3) + ")"})
                    << triangles << " triangles, corner " << corner;
            }
        }
    }
    EXPECT_TRUE(CheckFormatLimits(List({MeshRecord("Hull", "m", Vertices(65535),
                                                   {65534, 65534, 0, 1, 2, 3, 4, 5, 6})}))
                    .ok());
    EXPECT_FALSE(CheckFormatLimits(List({MeshRecord("Empty", "m", {}, {0, 0, 0})})).ok());
    for (const int vertexCount : {1, 2, 7, 33}) {
        for (int bad = 0; bad < vertexCount; ++bad) {
            const MeshList meshes =
                List({WithVertex(MeshRecord("Hull", "m", Vertices(vertexCount), {}), bad,
                                 VertexAt(0, 0, 0, NaN, 0))});
            EXPECT_EQ(Lines(CheckFormatLimits(meshes).message()),
                      std::vector<std::string>{"mesh \"Hull\" has a position or texture "
                                               "coordinate that is not a finite number (vertex " +
                                               std::to_string(bad) + ")"})
                << vertexCount << " vertices, vertex " << bad;
        }
    }
}

// Every stored field is checked, and only values that are not numbers or infinite are
// refused: the largest finite floats, subnormals and -0 pass. The normal is the
// exporter's own and is not looked at.
TEST(FormatLimits, EachFieldRefusesOnlyValuesThatAreNotFinite) {
    const float largest = std::numeric_limits<float>::max();
    const float subnormal = std::numeric_limits<float>::denorm_min();
    struct Value {
        float value;
        bool refused;
    };
    const Value values[] = {{NaN, true},        {-NaN, true},     {Inf, true},
                            {-Inf, true},       {largest, false}, {-largest, false},
                            {subnormal, false}, {-0.0f, false}};
    for (int field = 0; field < 8; ++field) {
        for (const Value& v : values) {
            ExportVertex vertex = VertexAt(1, 2, 3, 0.5f, 0.25f);
            float* fields[] = {
                &vertex.position[0], &vertex.position[1], &vertex.position[2], &vertex.normal[0],
                &vertex.normal[1],   &vertex.normal[2],   &vertex.u,           &vertex.v};
            *fields[field] = v.value;
            const MeshList meshes =
                List({WithVertex(MeshRecord("Hull", "m", Vertices(9), Triangles(1)), 6, vertex)});
            const bool isNormal = field >= 3 && field <= 5;
            EXPECT_EQ(!CheckFormatLimits(meshes).ok(), v.refused && !isNormal)
                << "field " << field << ", value " << v.value;
        }
    }
}

}  // namespace

}  // namespace cmp
