#include "mesh/mesh.h"

#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <random>

#include "tests/mesh/mesh_test_support.h"

namespace cmp {

namespace {

// One mesh, material "abc", 4 vertices, 2 triangles: every byte written out by hand.
TEST(BuildMeshDataStream, SingleMeshGoldenBytes) {
    std::vector<ExportVertex> vertices = {
        {{0.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f}, 0.0f, 0.0f},
        {{1.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 1.0f}, 1.0f, 0.0f},
        {{1.0f, 1.0f, 0.0f}, {0.0f, 0.0f, -1.0f}, 1.0f, 1.0f},
        {{0.5f, -2.0f, 0.25f}, {0.0f, 1.0f, 0.0f}, 0.25f, 0.75f},
    };
    MeshList meshes;
    meshes.push_back(MeshRecord("Box", "abc", vertices, {0, 1, 2, 0, 2, 3}));

    // Sixteen bytes a line, as a hex dump shows them.
    // clang-format off
    const Bytes expected = {
        // stream header: 1, 4, M = 1, I = 6, 0x0112, V = 4
        0x01, 0x00, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x01, 0x00, 0x06, 0x00, 0x12, 0x01, 0x04, 0x00,
        // mesh header: NameId("abc"), start 0, end 3, 6 indices, 0x00CC
        0xC2, 0x55, 0xB0, 0xEB, 0x00, 0x00, 0x03, 0x00, 0x06, 0x00, 0xCC, 0x00,
        // indices
        0x00, 0x00, 0x01, 0x00, 0x02, 0x00, 0x00, 0x00, 0x02, 0x00, 0x03, 0x00,
        // vertex 0: (0, 0, 0) (0, 1, 0) 0 0
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
        0x00, 0x00, 0x80, 0x3F, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
        // vertex 1: (1, 0, 0) (0, 0, 1) 1 0
        0x00, 0x00, 0x80, 0x3F, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x80, 0x3F, 0x00, 0x00, 0x80, 0x3F, 0x00, 0x00, 0x00, 0x00,
        // vertex 2: (1, 1, 0) (0, 0, -1) 1 1
        0x00, 0x00, 0x80, 0x3F, 0x00, 0x00, 0x80, 0x3F, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x80, 0xBF, 0x00, 0x00, 0x80, 0x3F, 0x00, 0x00, 0x80, 0x3F,
        // vertex 3: (0.5, -2, 0.25) (0, 1, 0) 0.25 0.75
        0x00, 0x00, 0x00, 0x3F, 0x00, 0x00, 0x00, 0xC0, 0x00, 0x00, 0x80, 0x3E, 0x00, 0x00, 0x00, 0x00,
        0x00, 0x00, 0x80, 0x3F, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x80, 0x3E, 0x00, 0x00, 0x40, 0x3F,
    };
    // clang-format on
    ASSERT_EQ(expected.size(), 168u);
    EXPECT_EQ(BuildMeshDataStream(meshes), expected);
}

std::vector<ExportVertex> SomeVertices(int count) {
    std::vector<ExportVertex> vertices;
    for (int i = 0; i < count; ++i) {
        vertices.push_back(VertexAt(static_cast<float>(i), 0.0f, 0.0f));
    }
    return vertices;
}

struct MeshHeaderFields {
    std::uint32_t materialId;
    std::uint16_t start, end, indexCount, trailer;
};

MeshHeaderFields MeshHeaderAt(const Bytes& stream, std::size_t mesh) {
    const std::uint8_t* at = stream.data() + StreamHeaderSize + StreamMeshHeaderSize * mesh;
    return {LoadU32(at), LoadU16(at + 4), LoadU16(at + 6), LoadU16(at + 8), LoadU16(at + 10)};
}

struct LayoutCase {
    const char* name;
    std::vector<ExportMesh> meshes;
    std::uint16_t meshCount, indexCount, vertexCount;
    std::vector<MeshHeaderFields> headers;
};

void PrintTo(const LayoutCase& c, std::ostream* os) {
    *os << c.name;
}

class StreamLayouts : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(StreamLayouts, HeadersAndLength) {
    const LayoutCase& c = GetParam();
    const Bytes stream = BuildMeshDataStream(c.meshes);
    ASSERT_GE(stream.size(), StreamHeaderSize);
    EXPECT_EQ(LoadU32(&stream[0]), 1u);
    EXPECT_EQ(LoadU32(&stream[4]), 4u);
    EXPECT_EQ(LoadU16(&stream[8]), c.meshCount);
    EXPECT_EQ(LoadU16(&stream[10]), c.indexCount);
    EXPECT_EQ(LoadU16(&stream[12]), 0x0112);
    EXPECT_EQ(LoadU16(&stream[14]), c.vertexCount);
    EXPECT_EQ(stream.size(), 16u + 12u * c.meshCount + 2u * c.indexCount + 32u * c.vertexCount);
    for (std::size_t m = 0; m < c.headers.size(); ++m) {
        const MeshHeaderFields got = MeshHeaderAt(stream, m);
        EXPECT_EQ(got.materialId, c.headers[m].materialId) << "mesh " << m;
        EXPECT_EQ(got.start, c.headers[m].start) << "mesh " << m;
        EXPECT_EQ(got.end, c.headers[m].end) << "mesh " << m;
        EXPECT_EQ(got.indexCount, c.headers[m].indexCount) << "mesh " << m;
        EXPECT_EQ(got.trailer, 0x00CC) << "mesh " << m;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Lists, StreamLayouts,
    ::testing::Values(
        LayoutCase{"HardpointLeftOut",
                   {MeshRecord("A", "abc", SomeVertices(3), {0, 1, 2}),
                    MeshRecord("HpFixed_Gun", "abc", SomeVertices(5), {0, 1, 2, 2, 3, 4}),
                    MeshRecord("B", "", SomeVertices(4), {0, 1, 2, 1, 2, 3})},
                   2,
                   9,
                   7,
                   {{0xEBB055C2, 0, 2, 3, 0xCC}, {0, 3, 6, 6, 0xCC}}},
        LayoutCase{"OnlyHardpoints",
                   {MeshRecord("Hp_Fixed_A", "abc", SomeVertices(3), {0, 1, 2}),
                    MeshRecord("hp_Revolute_B", "abc", SomeVertices(3), {0, 1, 2})},
                   0,
                   0,
                   0,
                   {}},
        LayoutCase{"NoMeshes", {}, 0, 0, 0, {}},
        // A mesh without vertices ends one before its start, in 16 bits.
        LayoutCase{
            "EmptyMeshes",
            {MeshRecord("Empty", "a", {}, {}), MeshRecord("Three", "A", SomeVertices(3), {}),
             MeshRecord("AlsoEmpty", "", {}, {})},
            3,
            0,
            3,
            {{0xFCB7BE43, 0, 0xFFFF, 0, 0xCC}, {0xFCB7BE43, 0, 2, 0, 0xCC}, {0, 3, 2, 0, 0xCC}}}),
    [](const auto& info) { return std::string(info.param.name); });

// Indices stay local to their mesh, and every float is stored as the record holds it,
// bit for bit (NaN payloads, signed zeros, subnormals and infinities included); indices
// of a last, incomplete triangle are left out.
TEST(BuildMeshDataStream, ArraysFollowHeadersUnshifted) {
    std::mt19937 random(99);
    std::uniform_real_distribution<float> value(-10.0f, 10.0f);
    const std::uint32_t oddBits[] = {0x7FC01234, 0xFFA00001, 0x80000000, 0x00000001,
                                     0x807FFFFF, 0x7F800000, 0xFF800000, 0x00000000};
    MeshList meshes;
    for (int m = 0; m < 6; ++m) {
        const int vertexCount = 1 + m * 7;
        std::vector<ExportVertex> vertices;
        for (int i = 0; i < vertexCount; ++i) {
            vertices.push_back({{value(random), value(random), value(random)},
                                {value(random), value(random), value(random)},
                                value(random),
                                value(random)});
        }
        if (m == 5) {
            for (std::size_t field = 0; field < 8; ++field) {
                std::memcpy(reinterpret_cast<std::uint8_t*>(&vertices[field]) + 4 * field,
                            &oddBits[field], 4);
            }
        }
        std::vector<std::uint16_t> triangles;
        for (int t = 0; t < m * 3; ++t) {
            for (int k = 0; k < 3; ++k) {
                triangles.push_back(static_cast<std::uint16_t>(random() % vertexCount));
            }
        }
        // One or two indices beyond the last whole triangle.
        for (int extra = 0; extra < m % 3; ++extra) {
            triangles.push_back(0);
        }
        meshes.push_back(MeshRecord(m == 2 ? "hpSkip" : "Part", "mat", vertices, triangles));
    }
    const Bytes stream = BuildMeshDataStream(meshes);

    const auto indexCount = [](const ExportMesh& mesh) { return 3 * (mesh.triangles.size() / 3); };
    std::size_t indexAt = StreamHeaderSize + StreamMeshHeaderSize * 5;
    std::size_t vertexAt = indexAt;
    std::size_t expectedLength = StreamHeaderSize + StreamMeshHeaderSize * 5;
    for (const ExportMesh& mesh : meshes) {
        if (!mesh.isHardpoint) {
            vertexAt += 2 * indexCount(mesh);
            expectedLength += 2 * indexCount(mesh) + 32 * mesh.vertices.size();
        }
    }
    ASSERT_EQ(stream.size(), expectedLength);
    for (const ExportMesh& mesh : meshes) {
        if (mesh.isHardpoint) {
            continue;
        }
        for (std::size_t k = 0; k < indexCount(mesh); ++k) {
            EXPECT_EQ(LoadU16(&stream[indexAt]), mesh.triangles[k]);
            indexAt += 2;
        }
        for (const ExportVertex& vertex : mesh.vertices) {
            const float fields[8] = {
                vertex.position[0], vertex.position[1], vertex.position[2], vertex.normal[0],
                vertex.normal[1],   vertex.normal[2],   vertex.u,           vertex.v};
            for (const float field : fields) {
                EXPECT_EQ(LoadU32(&stream[vertexAt]), Bits(field));
                vertexAt += 4;
            }
        }
    }
    // The odd patterns reached the stream as they were, not as some float equal to them.
    const std::size_t lastMeshVertices = expectedLength - 32 * meshes[5].vertices.size();
    for (std::size_t field = 0; field < 8; ++field) {
        EXPECT_EQ(LoadU32(&stream[lastMeshVertices + 32 * field + 4 * field]), oddBits[field])
            << "field " << field;
    }
}

// The pieces the plug-in writes are, joined, the stream stored field by field: on this
// machine the arrays are the records' own bytes, so the two paths are compared here.
TEST(MeshDataStreamPieces, JoinedTheyAreTheStreamStoredFieldByField) {
    std::mt19937 random(7);
    std::uniform_int_distribution<std::uint32_t> bits;
    std::vector<MeshList> lists = {
        {},
        {MeshRecord("Hp_Fixed_A", "abc", SomeVertices(3), {0, 1, 2})},
        {MeshRecord("Empty", "a", {}, {}), MeshRecord("Three", "A", SomeVertices(3), {})},
    };
    // Meshes of random bit patterns (NaNs, infinities and subnormals among them), with
    // a hardpoint between them and a last, incomplete triangle.
    MeshList mixed;
    for (int m = 0; m < 5; ++m) {
        std::vector<ExportVertex> vertices(static_cast<std::size_t>(1 + 9 * m));
        for (ExportVertex& vertex : vertices) {
            for (std::size_t field = 0; field < 8; ++field) {
                const std::uint32_t value = bits(random);
                std::memcpy(reinterpret_cast<std::uint8_t*>(&vertex) + 4 * field, &value, 4);
            }
        }
        std::vector<std::uint16_t> corners(static_cast<std::size_t>(3 * m + 2));
        for (std::uint16_t& corner : corners) {
            corner = static_cast<std::uint16_t>(bits(random));
        }
        mixed.push_back(MeshRecord(m == 1 ? "hpSkip" : "Part", "mat", vertices, corners));
    }
    lists.push_back(mixed);
    for (const MeshList& meshes : lists) {
        const MeshDataStreamPieces pieces(meshes);
        Bytes joined;
        for (const BytePiece piece : pieces.GetPieces()) {
            joined.insert(joined.end(), piece.begin(), piece.end());
        }
        EXPECT_EQ(joined, BuildMeshDataStream(meshes)) << meshes.size() << " meshes";
        EXPECT_EQ(joined.size(), MeshDataStreamSize(meshes)) << meshes.size() << " meshes";
    }
}

}  // namespace

}  // namespace cmp
