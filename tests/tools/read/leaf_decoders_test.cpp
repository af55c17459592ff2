#include "tools/cmpinfo/read/read.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <string>
#include <variant>
#include <vector>

#include "tests/tools/every_leaf_tree.h"
#include "tools/cmpinfo/report/report.h"

namespace cmp {

namespace {

bool Mentions(const std::vector<std::string>& problems, const std::string& fragment) {
    for (const std::string& problem : problems) {
        if (problem.find(fragment) != std::string::npos) {
            return true;
        }
    }
    return false;
}

std::string FirstOf(const std::vector<std::string>& problems) {
    return problems.empty() ? "no problem" : problems.front();
}

TEST(LeafDecodersTest, MeshDataStream) {
    const LeafDecoding sound = DecodeMeshDataStream(SoundMeshDataStream());
    EXPECT_TRUE(sound.problems.GetListed().empty()) << FirstOf(sound.problems.GetListed());
    const auto* stream = std::get_if<MeshDataStreamLeaf>(&sound.content);
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(stream->header.first, 1u);
    EXPECT_EQ(stream->header.second, 4u);
    EXPECT_EQ(stream->header.meshCount, 1u);
    EXPECT_EQ(stream->header.indexCount, 6u);
    EXPECT_EQ(stream->header.vertexFormat, 0x112u);
    EXPECT_EQ(stream->header.vertexCount, 4u);
    EXPECT_EQ(stream->expectedLength, 168u);
    ASSERT_EQ(stream->meshes.size(), 1u);
    EXPECT_EQ(stream->meshes[0].material, 0xEBB055C2u);
    EXPECT_EQ(stream->meshes[0].VertexCount(), 4u);
    EXPECT_EQ(DescribeLeaf(sound.content),
              (std::vector<std::string>{
                  "mesh data stream: 1 mesh, 6 indices, 4 vertices, vertex format 0x112",
                  "mesh 0: material 0xEBB055C2, vertices 0..3 (4), 6 indices"}));

    struct Case {
        const char* what;
        std::function<void(Bytes&)> spoil;
        const char* problem;
    };
    const std::vector<Case> cases = {
        {"cut short", [](Bytes& s) { s.pop_back(); }, "its counts call for 168"},
        {"shorter than its header", [](Bytes& s) { s.resize(15); }, "shorter than its 16-byte"},
        {"cut inside the mesh headers", [](Bytes& s) { s.resize(20); }, "ends inside the header"},
        {"index beyond its mesh", [](Bytes& s) { StoreU16(&s[28 + 10], 4); },
         "index 5 is 4, beyond its 4 vertices"},
        {"header constants", [](Bytes& s) { s[4] = 5; }, "begins 1 5"},
        {"vertex format", [](Bytes& s) { StoreU16(&s[12], 0x102); }, "vertex format 0x102"},
        {"mesh starts late", [](Bytes& s) { StoreU16(&s[20], 1); }, "starts at vertex 1"},
        {"vertex total", [](Bytes& s) { StoreU16(&s[22], 2); }, "3 vertices in all"},
        {"index total", [](Bytes& s) { StoreU16(&s[24], 3); }, "3 indices in all"},
        {"partial triangle", [](Bytes& s) { StoreU16(&s[24], 5); }, "not a whole number"},
        {"mesh trailer", [](Bytes& s) { s[26] = 0xCD; }, "0xCD instead of 0xCC"},
    };
    for (const Case& c : cases) {
        Bytes stream = SoundMeshDataStream();
        c.spoil(stream);
        const LeafDecoding decoded = DecodeMeshDataStream(stream);
        EXPECT_TRUE(Mentions(decoded.problems.GetListed(), c.problem))
            << c.what << ": " << FirstOf(decoded.problems.GetListed());
    }
}

// Every prefix of a sound stream: what it still holds is decoded, nothing past its end is
// read (the sanitizer builds catch that), and the cut is always reported.
TEST(LeafDecodersTest, MeshDataStreamCutAnywhere) {
    const Bytes whole = SoundMeshDataStream();
    for (std::size_t length = 0; length < whole.size(); ++length) {
        const LeafDecoding decoded =
            DecodeMeshDataStream(Bytes(whole.begin(), whole.begin() + length));
        EXPECT_FALSE(decoded.problems.GetListed().empty()) << length;
        if (length < 16) {
            const auto* unknown = std::get_if<UnknownLeaf>(&decoded.content);
            ASSERT_NE(unknown, nullptr) << length;
            EXPECT_EQ(unknown->size, length);
            EXPECT_EQ(unknown->firstBytes, Bytes(whole.begin(), whole.begin() + length));
            continue;
        }
        const auto* stream = std::get_if<MeshDataStreamLeaf>(&decoded.content);
        ASSERT_NE(stream, nullptr) << length;
        EXPECT_EQ(stream->header.meshCount, 1u) << length;
        EXPECT_EQ(stream->expectedLength, 168u) << length;
        EXPECT_EQ(stream->meshes.size(), length < 28 ? 0u : 1u) << length;
        EXPECT_EQ(Mentions(decoded.problems.GetListed(), "indices not checked"),
                  length >= 28 && length < 40)
            << length;
    }
}

TEST(LeafDecodersTest, MeshReferenceOfEverySize) {
    MeshReference written;
    written.libraryId = 0xE21E305F;
    written.firstMesh = 2;
    written.meshCount = 3;
    const Bytes record = EncodeMeshReference(written);
    auto sized = [&record](std::size_t size) {
        Bytes bytes = record;
        bytes.resize(size, 0);
        return bytes;
    };
    struct Case {
        std::size_t size;
        bool fieldsShown;
        std::vector<std::string> problems;
    };
    const std::vector<Case> cases = {
        {60, true, {}},
        {61,
         true,
         {"the mesh reference is 61 bytes, expected 60",
          "the record says it is 60 bytes long, but it is 61"}},
        {59,
         true,
         {"the mesh reference is 59 bytes, expected 60",
          "the record says it is 60 bytes long, but it is 59"}},
        {20,
         true,
         {"the mesh reference is 20 bytes, expected 60",
          "the record says it is 60 bytes long, but it is 20"}},
        {19, false, {"the mesh reference is 19 bytes, expected 60"}},
        {1, false, {"the mesh reference is 1 byte, expected 60"}},
        {0, false, {"the mesh reference is 0 bytes, expected 60"}},
    };
    for (const Case& c : cases) {
        const LeafDecoding decoded = DecodeMeshReferenceLeaf(sized(c.size));
        EXPECT_EQ(decoded.problems.GetListed(), c.problems) << c.size;
        const auto* reference = std::get_if<MeshReference>(&decoded.content);
        ASSERT_EQ(reference != nullptr, c.fieldsShown) << c.size;
        if (reference) {
            EXPECT_EQ(reference->recordSize, 60u) << c.size;
            EXPECT_EQ(reference->libraryId, written.libraryId) << c.size;
            EXPECT_EQ(reference->firstMesh, written.firstMesh) << c.size;
            EXPECT_EQ(reference->meshCount, written.meshCount) << c.size;
        } else {
            EXPECT_EQ(std::get<UnknownLeaf>(decoded.content).size, c.size);
        }
    }

    Bytes lying = record;
    StoreU32(&lying[MeshReferenceSizeOffset], 44);
    EXPECT_EQ(DecodeMeshReferenceLeaf(lying).problems.GetListed(),
              std::vector<std::string>{"the record says it is 44 bytes long, but it is 60"});
}

TEST(LeafDecodersTest, SmallLeaves) {
    Bytes reference(60, 0);
    StoreU32(&reference[0], 60);
    StoreU32(&reference[4], 0xE21E305F);
    StoreU32(&reference[16], 3u << 16);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Case {
        const char* name;
        Bytes bytes;
        std::vector<std::string> lines;
        const char* kind;     // the "kind" of its JSON
        const char* problem;  // null: none
    };
    const std::vector<Case> cases = {
        {"VMeshRef",
         reference,
         {"mesh reference: size 60, library entry 0xE21E305F, meshes 0 + 3"},
         "mesh reference",
         nullptr},
        {"VMeshRef",
         Bytes(reference.begin(), reference.end() - 1),
         {"mesh reference: size 60, library entry 0xE21E305F, meshes 0 + 3"},
         "mesh reference",
         "expected 60"},
        {"VMeshRef", Bytes(8, 0), {"00 00 00 00 00 00 00 00"}, "bytes", "expected 60"},
        {"File name", {'S', '.', '3', 'd', 'b', 0}, {"\"S.3db\""}, "text", nullptr},
        {"Object name", {'R', 'o', 'o', 't'}, {"\"Root\""}, "text", "does not end in a 0 byte"},
        {"Object name", {'R', 0, 'x', 0}, {"\"R\""}, "text", "2 bytes after its 0 byte"},
        {"File name", {'\t', 0xC4, 0}, {"\"\\x09\\xC4\""}, "text", nullptr},
        {"File name", {'H', 0xC3, 0xBC, 'l', 'l', 0}, {"\"H\xC3\xBCll\""}, "text", nullptr},
        {"Position", Reals({1, -0.0f, 0.25f}), {"1 -0 0.25"}, "reals", nullptr},
        {"Axis", Reals({0, 1}), {"00 00 00 00 00 00 80 3F"}, "bytes", "expected 12"},
        {"Orientation",
         Reals({1, 0, 0, -0.0f, 1, 0, 0, -0.0f, 1}),
         {"1 0 0", "-0 1 0", "0 -0 1"},
         "reals",
         nullptr},
        {"Position", Reals({nan, 0, 0}), {"nan 0 0"}, "reals", "not a finite number"},
        {"Max", {0xAA, 0x0E, 0x49, 0x3F, 0, 0, 0, 0}, {"0.78538"}, "reals", nullptr},
        {"Min", {0xF9, 0x0F, 0x49, 0xBF}, {"-0.7854"}, "reals", nullptr},
        {"Min", {0xF9, 0x0F, 0x49, 0xBF, 1, 0, 0, 0}, {"-0.7854"}, "reals", "padding"},
        {"Max", {1, 2}, {"01 02"}, "bytes", "expected one real"},
        {"Index",
         Bytes(20, 0xAB),
         {"AB AB AB AB AB AB AB AB AB AB AB AB AB AB AB AB ... (4 more)"},
         "bytes",
         nullptr},
        {"Anything", {}, {"no data"}, "bytes", nullptr},
    };
    for (const Case& c : cases) {
        const LeafDecoding decoded = DecodeLeaf(c.name, c.bytes);
        EXPECT_EQ(DescribeLeaf(decoded.content), c.lines) << c.name;
        EXPECT_EQ(LeafJson(decoded.content)["kind"], c.kind) << c.name;
        if (c.problem) {
            EXPECT_TRUE(Mentions(decoded.problems.GetListed(), c.problem))
                << c.name << ": " << c.problem;
        } else {
            EXPECT_TRUE(decoded.problems.GetListed().empty())
                << c.name << ": " << FirstOf(decoded.problems.GetListed());
        }
    }
}

TEST(LeafDecodersTest, DecodedDataHoldsTheFileBytesUnchanged) {
    const LeafDecoding text = DecodeText(Bytes{'a', '\n', 0xC4, 0, 'z'});
    EXPECT_EQ(std::get<TextLeaf>(text.content).text, "a\n\xC4");
    const LeafDecoding reals = DecodeLeaf("Orientation", Reals({1, 2, 3, 4, 5, 6, 7, 8, 0.1f}));
    EXPECT_EQ(std::get<RealsLeaf>(reals.content).rows,
              (std::vector<std::vector<float>>{{1, 2, 3}, {4, 5, 6}, {7, 8, 0.1f}}));
    const LeafDecoding unknown = DecodeUnknown(Bytes(17, 0x5A));
    EXPECT_EQ(std::get<UnknownLeaf>(unknown.content).size, 17u);
    EXPECT_EQ(std::get<UnknownLeaf>(unknown.content).firstBytes, Bytes(16, 0x5A));
    EXPECT_EQ(DumpJson(LeafJson(DecodeText(Bytes{'x', 0}).content)),
              "{\"kind\":\"text\",\"text\":\"x\"}");
}

}  // namespace

}  // namespace cmp
