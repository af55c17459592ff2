#include "mesh/mesh.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <ostream>
#include <random>

#include "tests/mesh/mesh_test_support.h"
#include "tests/mesh/reference_normals.h"

namespace cmp {

namespace {

using BitTriple = std::array<std::uint32_t, 3>;

BitTriple BitsOf(const Vector3& v) {
    return {Bits(v.x), Bits(v.y), Bits(v.z)};
}
BitTriple BitsOf(const ExportVertex& v) {
    return {Bits(v.normal[0]), Bits(v.normal[1]), Bits(v.normal[2])};
}

constexpr std::uint32_t Zero = 0x00000000;
constexpr std::uint32_t One = 0x3F800000;
constexpr std::uint32_t MinusOne = 0xBF800000;
constexpr std::uint32_t HalfRootTwo = 0x3F3504F3;
const BitTriple Up = {Zero, One, Zero};

struct NormalsCase {
    const char* name;
    std::vector<ExportVertex> vertices;
    std::vector<std::uint16_t> triangles;
    std::vector<BitTriple> faceNormals;
    std::vector<BitTriple> vertexNormals;
};

void PrintTo(const NormalsCase& c, std::ostream* os) {
    *os << c.name;
}

class NormalsKnownAnswers : public ::testing::TestWithParam<NormalsCase> {};

TEST_P(NormalsKnownAnswers, FaceAndVertexNormalBits) {
    const NormalsCase& c = GetParam();
    std::vector<ExportVertex> vertices = c.vertices;
    const std::vector<Vector3> faces = GenerateNormals(vertices, c.triangles);
    ASSERT_EQ(faces.size(), c.faceNormals.size());
    for (std::size_t t = 0; t < faces.size(); ++t) {
        EXPECT_EQ(BitsOf(faces[t]), c.faceNormals[t]) << "face " << t;
    }
    ASSERT_EQ(vertices.size(), c.vertexNormals.size());
    for (std::size_t v = 0; v < vertices.size(); ++v) {
        EXPECT_EQ(BitsOf(vertices[v]), c.vertexNormals[v]) << "vertex " << v;
    }
}

const BitTriple PlusZ = {Zero, Zero, One};
const BitTriple MinusZ = {Zero, Zero, MinusOne};
const BitTriple PlusX = {One, Zero, Zero};
const BitTriple NoNormal = {Zero, Zero, Zero};

INSTANTIATE_TEST_SUITE_P(
    Meshes, NormalsKnownAnswers,
    ::testing::Values(
        NormalsCase{"CounterClockwise",
                    VerticesAt({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}),
                    {0, 1, 2},
                    {PlusZ},
                    {PlusZ, PlusZ, PlusZ}},
        NormalsCase{"Clockwise",
                    VerticesAt({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}),
                    {0, 2, 1},
                    {MinusZ},
                    {MinusZ, MinusZ, MinusZ}},
        NormalsCase{
            "TwoFacesMeetAtAnEdge",
            VerticesAt({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}}),
            {0, 1, 2, 0, 2, 3},
            {PlusZ, PlusX},
            {{HalfRootTwo, Zero, HalfRootTwo}, PlusZ, {HalfRootTwo, Zero, HalfRootTwo}, PlusX}},
        // Cross products computed in double from float edges and rounded once; a float
        // cross product differs in the last bit of two components of the first face.
        NormalsCase{"RoundedOnce",
                    VerticesAt({{0.74f, 1.45f, 1.77f},
                                {2.65f, 1.44f, 2.53f},
                                {-2.83f, -0.21f, 2.66f},
                                {-1.52f, 0.26f, 0.44f},
                                {-2.92f, -1.7f, -1.32f}}),
                    {0, 1, 2, 0, 3, 4, 3, 1, 0},
                    {{0x3E65315D, 0xBF49DAAB, 0xBF12A7C9},
                     {0xBE15264A, 0xBF19F3DC, 0x3F491B8A},
                     {0xBEB456BD, 0xBEA1AB93, 0x3F618BDF}},
                    {{0xBE0940E5, 0xBF558DD8, 0x3F08F148},
                     {0xBDE3F3C0, 0xBF750BBF, 0x3E88C57B},
                     {0x3E65315D, 0xBF49DAAB, 0xBF12A7C9},
                     {0xBE81A2DC, 0xBEEECD63, 0x3F58F980},
                     {0xBE15264A, 0xBF19F3DC, 0x3F491B8A}}},
        // A zero-area triangle has no direction: it gets (0, 0, 0) and adds nothing,
        // and a vertex only it uses keeps the upward normal.
        NormalsCase{"DegenerateTriangle",
                    VerticesAt({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {2, 0, 0}}),
                    {0, 1, 2, 0, 1, 3},
                    {PlusZ, NoNormal},
                    {PlusZ, PlusZ, PlusZ, Up}},
        NormalsCase{"VertexNoTriangleUses",
                    VerticesAt({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {5, 5, 5}}),
                    {0, 1, 2},
                    {PlusZ},
                    {PlusZ, PlusZ, PlusZ, Up}},
        NormalsCase{"NoTriangles", VerticesAt({{1, 2, 3}, {4, 5, 6}}), {}, {}, {Up, Up}},
        // Two faces of opposite sense cancel: a zero mean keeps the upward normal.
        NormalsCase{"CancellingFaces",
                    VerticesAt({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}),
                    {0, 1, 2, 0, 2, 1},
                    {PlusZ, MinusZ},
                    {Up, Up, Up}},
        // A corner outside the vertex array: the triangle is skipped, not read.
        NormalsCase{"CornerOutOfRange",
                    VerticesAt({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}),
                    {0, 2, 1, 0, 1, 7},
                    {MinusZ, NoNormal},
                    {MinusZ, MinusZ, MinusZ}},
        // The length is taken in double: in float, the square of the 1e38 cross product
        // would overflow, and the square of the subnormal one would vanish.
        NormalsCase{"LargeTriangle",
                    VerticesAt({{0, 0, 0}, {1e19f, 0, 0}, {0, 1e19f, 0}}),
                    {0, 1, 2},
                    {PlusZ},
                    {PlusZ, PlusZ, PlusZ}},
        // A cross product of (inf, 0, 0) holds no NaN, but its length is not finite:
        // dividing by it would give (NaN, 0, 0), so the triangle counts as degenerate.
        NormalsCase{"InfiniteCrossProduct",
                    VerticesAt({{0, 0, 0}, {0, 1e20f, 0}, {0, 0, 1e20f}}),
                    {0, 1, 2},
                    {NoNormal},
                    {Up, Up, Up}},
        NormalsCase{"TinyTriangle",
                    VerticesAt({{0, 0, 0}, {0, 0, 1e-20f}, {1e-20f, 0, 0}}),
                    {0, 1, 2},
                    {{Zero, One, Zero}},
                    {Up, Up, Up}},
        NormalsCase{"CornerAtTopOfIndexRange",
                    VerticesAt({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}),
                    {65535, 1, 2},
                    {NoNormal},
                    {Up, Up, Up}}),
    [](const auto& info) { return std::string(info.param.name); });

constexpr float Inf = std::numeric_limits<float>::infinity();
constexpr float NaN = std::numeric_limits<float>::quiet_NaN();
constexpr float Max = std::numeric_limits<float>::max();

// Random meshes with shared, repeated, degenerate and out-of-range corners.
struct RandomMesh {
    std::vector<ExportVertex> vertices;
    std::vector<std::uint16_t> triangles;
};

RandomMesh MakeRandomMesh(std::mt19937& random, int vertexCount, int triangleCount, float extent) {
    RandomMesh mesh;
    std::uniform_real_distribution<float> coordinate(-extent, extent);
    std::uniform_int_distribution<int> corner(0, vertexCount - 1);
    std::uniform_int_distribution<int> percent(0, 99);
    for (int v = 0; v < vertexCount; ++v) {
        // Some vertices repeat an earlier position, so some triangles have zero area.
        if (v > 0 && percent(random) < 5) {
            mesh.vertices.push_back(
                mesh.vertices[static_cast<std::size_t>(corner(random)) % mesh.vertices.size()]);
        } else {
            mesh.vertices.push_back(
                VertexAt(coordinate(random), coordinate(random), coordinate(random)));
        }
    }
    for (int t = 0; t < triangleCount; ++t) {
        int a = corner(random), b = corner(random), c = corner(random);
        const int kind = percent(random);
        if (kind < 3) {
            b = a;  // names a vertex twice
        } else if (kind < 4) {
            c = vertexCount + corner(random);  // outside the array
        }
        for (const int index : {a, b, c}) {
            mesh.triangles.push_back(static_cast<std::uint16_t>(std::min(index, 65535)));
        }
    }
    return mesh;
}

void ExpectSameAsReference(const RandomMesh& mesh) {
    std::vector<ExportVertex> fast = mesh.vertices;
    std::vector<ExportVertex> slow = mesh.vertices;
    const std::vector<Vector3> fastFaces = GenerateNormals(fast, mesh.triangles);
    const std::vector<Vector3> slowFaces = reference::QuadraticNormals(slow, mesh.triangles);
    ASSERT_EQ(fastFaces.size(), slowFaces.size());
    for (std::size_t t = 0; t < fastFaces.size(); ++t) {
        ASSERT_EQ(BitsOf(fastFaces[t]), BitsOf(slowFaces[t])) << "face " << t;
    }
    for (std::size_t v = 0; v < fast.size(); ++v) {
        ASSERT_EQ(BitsOf(fast[v]), BitsOf(slow[v])) << "vertex " << v;
        for (const float component : fast[v].normal) {
            ASSERT_FALSE(std::isnan(component)) << "vertex " << v;
        }
    }
}

TEST(GenerateNormals, MatchesQuadraticReferenceBitForBit) {
    std::mt19937 random(20261207);
    const struct {
        int vertices, triangles;
        float extent;
    } sizes[] = {{3, 1, 1.0f},     {4, 10, 1.0f},      {10, 40, 100.0f},   {50, 200, 1e-3f},
                 {200, 300, 1e4f}, {1000, 2000, 1.0f}, {3000, 5000, 50.0f}};
    for (const auto& size : sizes) {
        for (int round = 0; round < 5; ++round) {
            SCOPED_TRACE(testing::Message() << size.vertices << " vertices, " << size.triangles
                                            << " triangles, round " << round);
            ExpectSameAsReference(
                MakeRandomMesh(random, size.vertices, size.triangles, size.extent));
        }
    }
}

// Many triangles around few vertices: long sums, where the order of additions shows.
TEST(GenerateNormals, MatchesReferenceOnLongSums) {
    std::mt19937 random(7);
    ExpectSameAsReference(MakeRandomMesh(random, 8, 4000, 1.0f));
}

// Edges that overflow float, or positions that are not numbers, give no NaN normals.
TEST(GenerateNormals, HugeAndNonFinitePositionsGiveNoNaN) {
    std::vector<ExportVertex> vertices =
        VerticesAt({{-Max, 0, 0}, {Max, 0, 0}, {0, Max, 0}, {NaN, 0, 0}, {0, Inf, 1}});
    const std::vector<std::uint16_t> triangles = {0, 1, 2, 3, 1, 2, 4, 0, 1, 1, 2, 4};
    const std::vector<Vector3> faces = GenerateNormals(vertices, triangles);
    for (const Vector3& face : faces) {
        EXPECT_EQ(BitsOf(face), NoNormal);
    }
    for (const ExportVertex& vertex : vertices) {
        EXPECT_EQ(BitsOf(vertex), Up);
    }
}

// A normal no computation gives, set beforehand to see which vertices keep theirs.
const BitTriple Kept = {0x40E00000, 0x40E00000, 0x40E00000};  // (7, 7, 7)

void MarkEveryNormal(std::vector<ExportVertex>& vertices) {
    for (ExportVertex& vertex : vertices) {
        vertex.normal[0] = vertex.normal[1] = vertex.normal[2] = 7.0f;
    }
}

// A vertex no triangle uses keeps the normal it had, wherever it lies: before, between
// and after the used ones, and one named only by a triangle with a corner out of range.
TEST(GenerateNormals, UnusedVerticesKeepTheirNormals) {
    std::vector<ExportVertex> vertices =
        VerticesAt({{5, 5, 5}, {0, 0, 0}, {1, 0, 0}, {5, 5, 5}, {0, 1, 0}, {5, 5, 5}, {5, 5, 5}});
    MarkEveryNormal(vertices);
    GenerateNormals(vertices, {1, 2, 4, 5, 2, 9});
    const BitTriple expected[] = {Kept, PlusZ, PlusZ, Kept, PlusZ, Kept, Kept};
    for (std::size_t v = 0; v < vertices.size(); ++v) {
        EXPECT_EQ(BitsOf(vertices[v]), expected[v]) << "vertex " << v;
    }
}

// Vertices are finished two at a time: each of a pair gets its own normal, whatever the
// other is (a usable mean, a mean that cancels to zero, or no triangle at all), and so
// does a last vertex without a partner.
TEST(GenerateNormals, EachVertexOfAPairGetsItsOwnNormal) {
    enum class Kind { Usable, Cancelled, Unused };
    const Kind kinds[] = {Kind::Usable, Kind::Cancelled, Kind::Unused};
    for (const Kind first : kinds) {
        for (const Kind second : kinds) {
            for (const bool lastAlone : {false, true}) {
                // The pair, two corners they share, and perhaps a fifth vertex.
                RandomMesh mesh{VerticesAt({{0, 0, 0}, {0, 0.5f, 1}, {1, 0, 0}, {0, 1, 0}}), {}};
                if (lastAlone) {
                    mesh.vertices.push_back(VertexAt(1, 1, 1));
                    mesh.triangles.insert(mesh.triangles.end(), {4, 3, 2});
                }
                const Kind pair[] = {first, second};
                for (std::uint16_t v = 0; v < 2; ++v) {
                    if (pair[v] != Kind::Unused) {
                        mesh.triangles.insert(mesh.triangles.end(), {v, 2, 3});
                    }
                    if (pair[v] == Kind::Cancelled) {
                        mesh.triangles.insert(mesh.triangles.end(), {v, 3, 2});
                    }
                }
                SCOPED_TRACE(testing::Message() << static_cast<int>(first) << " "
                                                << static_cast<int>(second) << " " << lastAlone);
                ExpectSameAsReference(mesh);
                std::vector<ExportVertex> vertices = mesh.vertices;
                MarkEveryNormal(vertices);
                GenerateNormals(vertices, mesh.triangles);
                for (std::size_t v = 0; v < 2; ++v) {
                    if (pair[v] == Kind::Cancelled) {
                        EXPECT_EQ(BitsOf(vertices[v]), Up) << "vertex " << v;
                    } else if (pair[v] == Kind::Unused) {
                        EXPECT_EQ(BitsOf(vertices[v]), Kept) << "vertex " << v;
                    }
                }
            }
        }
    }
}

TEST(GenerateNormals, TrailingPartialTriangleIsIgnored) {
    std::vector<ExportVertex> vertices = VerticesAt({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
    const std::vector<Vector3> faces = GenerateNormals(vertices, {0, 1, 2, 0, 1});
    ASSERT_EQ(faces.size(), 1u);
    EXPECT_EQ(BitsOf(faces[0]), PlusZ);
}

}  // namespace

}  // namespace cmp
