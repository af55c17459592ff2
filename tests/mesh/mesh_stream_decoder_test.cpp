#include "mesh/mesh.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "tests/mesh/mesh_test_support.h"

namespace cmp {
namespace {

MeshList OneTriangleList() {
    MeshList meshes;
    meshes.push_back(
        MeshRecord("Hull", "", VerticesAt({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}), {0, 1, 2}));
    return meshes;
}

// `bytes` with the byte at `at` set to `value`.
Bytes ChangedAt(Bytes bytes, std::size_t at, std::uint8_t value) {
    bytes[at] = value;
    return bytes;
}

// The leftover of a killed run is known by its header and its length alone.
TEST(MeshStreamDecoder, AWholeStreamIsKnownByItsHeaderAndLength) {
    const Bytes stream = BuildMeshDataStream(OneTriangleList());
    struct Case {
        const char* what;
        Bytes head;
        std::uint64_t length;
        bool whole;
    } cases[] = {
        {"a stream as written", stream, stream.size(), true},
        {"a byte longer", stream, stream.size() + 1, false},
        {"a byte shorter", stream, stream.size() - 1, false},
        {"another first version field", ChangedAt(stream, 0, 2), stream.size(), false},
        {"another second version field", ChangedAt(stream, 4, 5), stream.size(), false},
        {"another vertex format", ChangedAt(stream, 12, 0x13), stream.size(), false},
        {"a mesh count that calls for more", ChangedAt(stream, 8, 2), stream.size(), false},
        {"a header cut short", Bytes(stream.begin(), stream.begin() + 15), stream.size(), false},
        {"text", Bytes(16, 'a'), stream.size(), false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsWholeMeshDataStream(c.head, c.length), c.whole) << c.what;
    }
}

// What the encoder writes, the decoder gives back: every record, index and vertex.
TEST(MeshStreamDecoder, GivesBackWhatTheEncoderWrote) {
    MeshList meshes;
    meshes.push_back(MeshRecord("Hull", "Plate",
                                VerticesAt({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}}),
                                {0, 1, 2, 2, 1, 3}));
    meshes.push_back(
        MeshRecord("Fin", "", VerticesAt({{5, 5, 5}, {6, 5, 5}, {5, 6, 5}}), {0, 2, 1}));
    const Bytes stream = BuildMeshDataStream(meshes);
    const Result<DecodedMeshStream> decoded = DecodeMeshStream(stream);
    ASSERT_TRUE(decoded) << decoded.message();
    ASSERT_EQ(decoded.value().meshes.size(), 2u);
    for (std::size_t m = 0; m < meshes.size(); ++m) {
        const MeshStreamMesh& record = decoded.value().meshes[m];
        ASSERT_EQ(record.VertexCount(), meshes[m].vertices.size());
        ASSERT_EQ(record.indexCount, meshes[m].triangles.size());
        for (std::size_t i = 0; i < record.indexCount; ++i) {
            EXPECT_EQ(MeshStreamIndex(stream, decoded.value(), m, i), meshes[m].triangles[i]);
        }
        for (std::size_t v = 0; v < record.VertexCount(); ++v) {
            const MeshStreamVertex vertex = MeshStreamVertexAt(stream, decoded.value(), m, v);
            for (std::size_t c = 0; c < 3; ++c) {
                EXPECT_EQ(vertex.position[c], meshes[m].vertices[v].position[c]);
            }
        }
    }
}

// Every bound is checked, and the first problem named with its offset; nothing is read
// past the bytes given, whatever their length (every cut of a sound stream is refused).
TEST(MeshStreamDecoder, RefusesWhatIsNotASoundStream) {
    const Bytes stream = BuildMeshDataStream(OneTriangleList());
    struct Case {
        const char* what;
        Bytes bytes;
        const char* message;
    } cases[] = {
        {"empty", {}, "the stream is shorter than its 16-byte header (at byte 0)"},
        {"another vertex format", ChangedAt(stream, 12, 0x13),
         "the vertex format is not 0x112 (at byte 12)"},
        {"a byte more",
         [&] {
             Bytes b = stream;
             b.push_back(0);
             return b;
         }(),
         "bytes, its counts call for"},
        {"an index beyond its mesh", ChangedAt(stream, 16 + 12 + 4, 3),
         "mesh 0 names vertex 3 of 3"},
        // End vertex 3: four vertices where the stream holds three; every index still
        // lies within the mesh, so only the bound of its vertices can tell.
        {"vertices past the stream", ChangedAt(stream, 16 + 6, 3),
         "mesh 0 reaches past the end of its stream (at byte 16)"},
        {"not whole triangles", ChangedAt(stream, 16 + 8, 2),
         "mesh 0 has an index count that is not whole triangles (at byte 24)"},
    };
    for (const Case& c : cases) {
        const Result<DecodedMeshStream> decoded = DecodeMeshStream(c.bytes);
        ASSERT_FALSE(decoded) << c.what;
        EXPECT_EQ(decoded.code(), ErrorCode::MalformedStream) << c.what;
        EXPECT_NE(decoded.message().find(c.message), std::string::npos)
            << c.what << ": " << decoded.message();
    }
    for (std::size_t length = 0; length < stream.size(); ++length) {
        EXPECT_FALSE(DecodeMeshStream(std::span(stream.data(), length))) << length;
    }
}

// A mesh without vertices ends one before its start: end vertex 0xFFFF after start 0
// wraps to no vertices, so the next mesh's vertices begin where all of them begin.
TEST(MeshStreamDecoder, AFirstMeshWithoutVerticesWrapsToNone) {
    MeshList meshes;
    meshes.push_back(MeshRecord("Empty", "", {}, {}));
    meshes.push_back(OneTriangleList().front());
    const Bytes stream = BuildMeshDataStream(meshes);
    ASSERT_EQ(LoadU16(stream.data() + 16 + 6), 0xFFFF);
    const Result<DecodedMeshStream> decoded = DecodeMeshStream(stream);
    ASSERT_TRUE(decoded) << decoded.message();
    const DecodedMeshStream& read = decoded.value();
    ASSERT_EQ(read.meshes.size(), 2u);
    EXPECT_EQ(read.meshes[0].VertexCount(), 0u);
    EXPECT_EQ(read.meshes[1].VertexCount(), 3u);
    EXPECT_EQ(read.verticesAt[0], read.verticesAt[1]);
    EXPECT_EQ(MeshStreamVertexAt(stream, read, 1, 1).position[0], 1.0f);
}

}  // namespace
}  // namespace cmp
