#include "tools/cmpinfo/leaf_decoders.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "tools/cmpinfo/json_writer.h"

namespace cmp {

namespace {

// One mesh with material "abc", 4 vertices and 2 triangles: 168 bytes.
Bytes SoundStream() {
    Bytes stream = {0x01, 0x00, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x01, 0x00,
                    0x06, 0x00, 0x12, 0x01, 0x04, 0x00, 0xC2, 0x55, 0xB0, 0xEB,
                    0x00, 0x00, 0x03, 0x00, 0x06, 0x00, 0xCC, 0x00};
    for (std::uint16_t index : {0, 1, 2, 0, 2, 3}) {
        AppendU16(stream, index);
    }
    stream.resize(stream.size() + 4 * 32, 0);
    return stream;
}

bool Mentions(const std::vector<std::string>& problems, const std::string& fragment) {
    for (const std::string& problem : problems) {
        if (problem.find(fragment) != std::string::npos) {
            return true;
        }
    }
    return false;
}

TEST(LeafDecodersTest, MeshDataStream) {
    const LeafDecoding sound = DecodeMeshDataStream(SoundStream());
    EXPECT_TRUE(sound.problems.empty()) << sound.problems.front();
    EXPECT_EQ(sound.lines,
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
        Bytes stream = SoundStream();
        c.spoil(stream);
        const LeafDecoding decoded = DecodeMeshDataStream(stream);
        EXPECT_TRUE(Mentions(decoded.problems, c.problem))
            << c.what << ": " << (decoded.problems.empty() ? "no problem" : decoded.problems[0]);
    }
}

TEST(LeafDecodersTest, SmallLeaves) {
    Bytes reference(60, 0);
    StoreU32(&reference[0], 60);
    StoreU32(&reference[4], 0xE21E305F);
    StoreU32(&reference[16], 3u << 16);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    auto reals = [](std::initializer_list<float> values) {
        Bytes bytes;
        for (float value : values) {
            AppendF32(bytes, value);
        }
        return bytes;
    };
    struct Case {
        const char* name;
        Bytes bytes;
        std::vector<std::string> lines;
        const char* problem;  // null: none
    };
    const std::vector<Case> cases = {
        {"VMeshRef",
         reference,
         {"mesh reference: size 60, library entry 0xE21E305F, meshes 0 + 3"},
         nullptr},
        {"VMeshRef", Bytes(reference.begin(), reference.end() - 1), {}, "expected 60"},
        {"VMeshRef", Bytes(8, 0), {"00 00 00 00 00 00 00 00"}, "expected 60"},
        {"File name", {'S', '.', '3', 'd', 'b', 0}, {"\"S.3db\""}, nullptr},
        {"Object name", {'R', 'o', 'o', 't'}, {"\"Root\""}, "does not end in a 0 byte"},
        {"Object name", {'R', 0, 'x', 0}, {"\"R\""}, "2 bytes after its 0 byte"},
        {"File name", {'\t', 0xC4, 0}, {"\"\\x09\\xC4\""}, nullptr},
        {"Position", reals({1, -0.0f, 0.25f}), {"1 -0 0.25"}, nullptr},
        {"Axis", reals({0, 1}), {"00 00 00 00 00 00 80 3F"}, "expected 12"},
        {"Orientation",
         reals({1, 0, 0, -0.0f, 1, 0, 0, -0.0f, 1}),
         {"1 0 0", "-0 1 0", "0 -0 1"},
         nullptr},
        {"Position", reals({nan, 0, 0}), {"nan 0 0"}, "not a finite number"},
        {"Max", {0xAA, 0x0E, 0x49, 0x3F, 0, 0, 0, 0}, {"0.78538"}, nullptr},
        {"Min", {0xF9, 0x0F, 0x49, 0xBF}, {"-0.7854"}, nullptr},
        {"Min", {0xF9, 0x0F, 0x49, 0xBF, 1, 0, 0, 0}, {"-0.7854"}, "padding"},
        {"Max", {1, 2}, {"01 02"}, "expected one real"},
        {"Index",
         Bytes(20, 0xAB),
         {"AB AB AB AB AB AB AB AB AB AB AB AB AB AB AB AB ... (4 more)"},
         nullptr},
        {"Anything", {}, {"no data"}, nullptr},
    };
    for (const Case& c : cases) {
        const LeafDecoding decoded = DecodeLeaf(c.name, c.bytes);
        if (!c.lines.empty()) {
            EXPECT_EQ(decoded.lines, c.lines) << c.name;
        }
        if (c.problem) {
            EXPECT_TRUE(Mentions(decoded.problems, c.problem)) << c.name << ": " << c.problem;
        } else {
            EXPECT_TRUE(decoded.problems.empty()) << c.name << ": " << decoded.problems.front();
        }
        EXPECT_FALSE(decoded.json.empty()) << c.name;
    }
}

TEST(LeafDecodersTest, JsonIsAlwaysValidText) {
    JsonWriter json;
    json.BeginObject().Key("name").String("a\"b\\c\n\xC4").Key("values").BeginArray();
    json.Real(-0.0f).Real(0.1f).Real(std::numeric_limits<float>::infinity()).Number(-3).Bool(true);
    json.EndArray().Key("empty").BeginObject().EndObject().EndObject();
    EXPECT_EQ(json.Text(),
              "{\"name\":\"a\\\"b\\\\c\\u000A\\u00C4\",\"values\":[-0,0.1,\"inf\",-3,true],"
              "\"empty\":{}}");
    EXPECT_EQ(DecodeText({'x', 0}).json, "{\"kind\":\"text\",\"text\":\"x\"}");
}

}  // namespace

}  // namespace cmp
