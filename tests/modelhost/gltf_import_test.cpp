// The glTF importer on tinygltf against the Assimp import: small documents of each shape
// that the two could read differently, each written as .glb, as .gltf with an external
// .bin and as .gltf with a data: URI, imported by both and compared bit for bit. Then
// hostile files, which must fail with one message naming the file.
#include "modelhost/gltf_import.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/little_endian.h"
#include "modelhost/import_model.h"
#include "tests/support/file_contents.h"
#include "tests/support/model_builder.h"
#include "tests/support/model_snapshot.h"
#include "tests/support/scratch_folder.h"

namespace cmp {

namespace {

struct Imported {
    Status status;
    ModelSnapshot model;
    ImportSummary summary;
};

template <class Importer>
Imported ImportWith(Importer importer, const std::string& path) {
    standin::ModelBuilder builder;
    Result<ImportSummary> imported = importer(path, builder.model());
    return {imported.status(), TakeSnapshot(builder.model()),
            imported ? imported.value() : ImportSummary{}};
}

// The geometry every document shares, in one buffer.
struct Geometry {
    Bytes bin;
    std::string accessors;
    std::string views;
    int count = 0;

    void Add(const Bytes& data, int componentType, int elements, const char* type) {
        const std::string n = std::to_string(count);
        views += std::string(count ? "," : "") +
                 "{\"buffer\":0,\"byteOffset\":" + std::to_string(bin.size()) +
                 ",\"byteLength\":" + std::to_string(data.size()) + "}";
        accessors += std::string(count ? "," : "") + "{\"bufferView\":" + n +
                     ",\"componentType\":" + std::to_string(componentType) +
                     ",\"count\":" + std::to_string(elements) + ",\"type\":\"" + type + "\"}";
        bin.insert(bin.end(), data.begin(), data.end());
        while (bin.size() % 4 != 0) {
            bin.push_back(0);
        }
        ++count;
    }
};

Bytes Floats(const std::vector<float>& values) {
    Bytes bytes;
    for (float v : values) {
        AppendF32(bytes, v);
    }
    return bytes;
}

// Accessors: 0 four positions, 1 their uvs, 2 u16 triangles, 3 u8 strip, 4 u32 lines,
// 5 one position, 6 uvs as scalars.
Geometry SharedGeometry() {
    Geometry g;
    g.Add(Floats({0.1f, -0.0f, 0.3f, 1.7f, 0.2f, -0.9f, 0.05f, 1.3f, 0.7f, 1e-3f, 2.5f, -1.1f}),
          5126, 4, "VEC3");
    g.Add(Floats({0.3f, 0.7f, 0.1f, 0.9f, 0.6f, 0.33f, 1.0f, -0.2f}), 5126, 4, "VEC2");
    Bytes triangles;
    for (std::uint16_t i : {0, 1, 2, 2, 1, 3}) {
        AppendU16(triangles, i);
    }
    g.Add(triangles, 5123, 6, "SCALAR");
    g.Add(Bytes{0, 1, 2, 3}, 5121, 4, "SCALAR");
    Bytes lines;
    for (std::uint32_t i : {0, 1, 1, 2, 2, 3}) {
        AppendU32(lines, i);
    }
    g.Add(lines, 5125, 6, "SCALAR");
    g.Add(Floats({4.5f, -2.25f, 0.125f}), 5126, 1, "VEC3");
    g.Add(Floats({0.3f, 0.7f, 0.1f, 0.9f}), 5126, 4, "SCALAR");
    return g;
}

const char* const Meshes = R"([
 {"name":"Hull","primitives":[{"attributes":{"POSITION":0,"TEXCOORD_0":1},"indices":2,"material":0}]},
 {"primitives":[{"attributes":{"POSITION":0},"indices":2,"material":1},
                {"attributes":{"POSITION":0,"TEXCOORD_0":6},"indices":3,"mode":5}]},
 {"name":"Fan","primitives":[{"attributes":{"POSITION":0,"TEXCOORD_0":1},"mode":6,"material":3}]},
 {"name":"Wire","primitives":[{"attributes":{"POSITION":0},"indices":4,"mode":1},
                              {"attributes":{"POSITION":0},"mode":0},
                              {"attributes":{"POSITION":0},"mode":2},
                              {"attributes":{"POSITION":0},"indices":3,"mode":3}]},
 {"name":"HpMount","primitives":[{"attributes":{"POSITION":5},"mode":0}]},
 {"name":"Pane","primitives":[{"attributes":{"POSITION":0},"material":3}]},
 {"primitives":[{"attributes":{"POSITION":0,"TEXCOORD_0":1},"indices":2,"material":2},
                {"attributes":{"POSITION":5},"mode":0}]}
])";

const char* const Materials =
    R"([{"name":"Paint"},{},{"name":"DefaultMaterial"},{"name":"Glass"}])";

struct Case {
    const char* file;  // without extension; also what unnamed meshes are called after
    const char* scenes;
    const char* nodes;
};

const Case Cases[] = {
    {"roots", R"([{"nodes":[0,1]}])",
     R"([{"name":"Wing","mesh":0,"translation":[1.5,-0.0,3]},
         {"mesh":1,"rotation":[0.18,0.37,-0.11,0.9],"scale":[1,-2,0.5]}])"},
    {"tree", R"([{"nodes":[0]}])",
     R"([{"name":"Ship","children":[1,2],
          "matrix":[0.9,0.1,0,0, -0.1,0.9,0.2,0, 0,-0.2,1.1,0, 3,4.5,-6,1]},
         {"mesh":0,"translation":[1,2,3],"rotation":[0.2,0.3,0.1,0.927]},
         {"name":"Tail","mesh":2,"scale":[-1,1,1],"children":[3]},
         {"mesh":3,"translation":[0.1,0.2,0.3]}])"},
    {"shared", R"([{"nodes":[2,0]}])",
     R"([{"name":"A","mesh":0,"children":[1]},{"mesh":5,"scale":[1,1,-1]},
         {"name":"B","mesh":5,"rotation":[0,0.7071068,0,0.7071068]}])"},
    {"hpwing", R"([{"nodes":[0]}])", R"([{"mesh":1,"translation":[0,0,-2.5]}])"},
    {"hardpoints", R"([{"nodes":[0,1]}])",
     R"([{"name":"HpEngine","mesh":4,"translation":[1,1,1]},{"name":"HpGun","mesh":6}])"},
    {"rootnamed", R"([{"nodes":[0]}])",
     R"([{"name":"ROOT","children":[1,2]},{"mesh":0},{"name":"Keel","mesh":3}])"},
    {"identity", R"([{"nodes":[0]}])",
     R"([{"name":"Plain","mesh":2,"matrix":[1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1],"children":[1]},
         {"mesh":6,"translation":[0,0,0],"scale":[1,1,1]}])"},
    {"empty", R"([{"nodes":[]}])", R"([{"mesh":0}])"},
};

std::string Base64(const Bytes& bytes) {
    static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::uint32_t group = (bytes[i] << 16) |
                                    (i + 1 < bytes.size() ? bytes[i + 1] << 8 : 0) |
                                    (i + 2 < bytes.size() ? bytes[i + 2] : 0);
        for (std::size_t d = 0; d < 4; ++d) {
            text += i + d <= bytes.size() ? digits[(group >> (18 - 6 * d)) & 63] : '=';
        }
    }
    return text;
}

std::string Document(const Case& c, const Geometry& g, const std::string& buffer) {
    return std::string(R"({"asset":{"version":"2.0"},"scene":0,"scenes":)") + c.scenes +
           ",\"nodes\":" + c.nodes + ",\"meshes\":" + Meshes + ",\"materials\":" + Materials +
           ",\"accessors\":[" + g.accessors + "],\"bufferViews\":[" + g.views + "],\"buffers\":[" +
           buffer + "]}";
}

Bytes Glb(std::string json, const Bytes& bin) {
    while (json.size() % 4 != 0) {
        json += ' ';
    }
    Bytes glb;
    AppendU32(glb, 0x46546C67);
    AppendU32(glb, 2);
    AppendU32(glb, static_cast<std::uint32_t>(12 + 8 + json.size() + 8 + bin.size()));
    AppendU32(glb, static_cast<std::uint32_t>(json.size()));
    AppendU32(glb, 0x4E4F534A);
    glb.insert(glb.end(), json.begin(), json.end());
    AppendU32(glb, static_cast<std::uint32_t>(bin.size()));
    AppendU32(glb, 0x004E4942);
    glb.insert(glb.end(), bin.begin(), bin.end());
    return glb;
}

// The case as each of the three kinds of file; returns their paths.
std::vector<std::string> WriteCase(const ScratchFolder& scratch, const Case& c) {
    const Geometry g = SharedGeometry();
    const std::string length = std::to_string(g.bin.size());
    const std::string stem = scratch / c.file;
    WriteWholeFile(stem + ".glb", Glb(Document(c, g, "{\"byteLength\":" + length + "}"), g.bin));
    WriteWholeFile(stem + ".bin", g.bin);
    WriteWholeFile(stem + ".gltf", Document(c, g,
                                            "{\"uri\":\"" + std::string(c.file) +
                                                ".bin\",\"byteLength\":" + length + "}"));
    const std::string embedded = scratch / (std::string(c.file) + "-embedded.gltf");
    WriteWholeFile(embedded, Document(c, g,
                                      "{\"uri\":\"data:application/octet-stream;base64," +
                                          Base64(g.bin) + "\",\"byteLength\":" + length + "}"));
    return {stem + ".glb", stem + ".gltf", embedded};
}

void ExpectSameAsAssimp(const std::string& path) {
    SCOPED_TRACE(path);
    const Imported assimp = ImportWith(ImportModel, path);
    const Imported ours = ImportWith(ImportGltfModel, path);
    ASSERT_TRUE(assimp.status.ok()) << assimp.status.message();
    ASSERT_TRUE(ours.status.ok()) << ours.status.message();
    EXPECT_EQ(FirstDifference(assimp.model, ours.model), "");
    EXPECT_EQ(assimp.summary, ours.summary);
}

TEST(ImportGltfModel, GivesTheModelOfTheAssimpImportBitForBit) {
    ScratchFolder scratch;
    for (const Case& c : Cases) {
        for (const std::string& path : WriteCase(scratch, c)) {
            ExpectSameAsAssimp(path);
        }
    }
}

// The model's path as the user typed it: relative, the buffer beside it.
TEST(ImportGltfModel, NamesTheFilesItReadAsAssimpDoes) {
    ScratchFolder scratch(ScratchFolder::Enter::Yes);
    WriteCase(scratch, Cases[0]);
    ExpectSameAsAssimp("roots.gltf");
    const Imported ours = ImportWith(ImportGltfModel, "roots.gltf");
    EXPECT_EQ(ours.summary.filesRead, (std::vector<std::string>{"roots.gltf", "roots.bin"}));
}

TEST(ImportGltfModel, RefusesAMeshOfMoreThan65535VerticesAsAssimpDoes) {
    ScratchFolder scratch;
    Geometry g;
    g.Add(Bytes(65536 * 12, 0), 5126, 65536, "VEC3");
    const Case huge{"huge", R"([{"nodes":[0]}])", R"([{"name":"Huge","mesh":0}])"};
    const std::string json =
        R"({"asset":{"version":"2.0"},"scenes":[{"nodes":[0]}],"nodes":[{"name":"Huge","mesh":0}],)"
        R"("meshes":[{"primitives":[{"attributes":{"POSITION":0}}]}],"accessors":[)" +
        g.accessors + "],\"bufferViews\":[" + g.views +
        "],\"buffers\":[{\"byteLength\":" + std::to_string(g.bin.size()) + "}]}";
    (void)huge;
    WriteWholeFile(scratch / "huge.glb", Glb(json, g.bin));
    const Imported assimp = ImportWith(ImportModel, scratch / "huge.glb");
    const Imported ours = ImportWith(ImportGltfModel, scratch / "huge.glb");
    ASSERT_FALSE(ours.status.ok());
    EXPECT_EQ(ours.status.message(), assimp.status.message());
    EXPECT_EQ(ours.status.message(),
              "mesh 'Huge' in 'huge.glb' has 65536 vertices; a mesh may have at most 65535");
}

// -- Hostile files

struct Hostile {
    const char* name;
    std::string json;  // written as <name>.gltf over the shared geometry's .bin
    const char* reason;
};

std::string WithNodes(const std::string& scenes, const std::string& nodes) {
    const Geometry g = SharedGeometry();
    return R"({"asset":{"version":"2.0"},"scenes":)" + scenes + ",\"nodes\":" + nodes +
           ",\"meshes\":" + Meshes + ",\"materials\":" + Materials + ",\"accessors\":[" +
           g.accessors + "],\"bufferViews\":[" + g.views +
           "],\"buffers\":[{\"uri\":\"shared.bin\",\"byteLength\":" + std::to_string(g.bin.size()) +
           "}]}";
}

std::string WithAccessor(const std::string& accessor, const std::string& view,
                         const std::string& mode = "4") {
    const Geometry g = SharedGeometry();
    return R"({"asset":{"version":"2.0"},"scenes":[{"nodes":[0]}],"nodes":[{"mesh":0}],)"
           R"("meshes":[{"primitives":[{"attributes":{"POSITION":0},"indices":1,"mode":)" +
           mode + "}]}],\"accessors\":[" + accessor + "],\"bufferViews\":[" + view +
           "],\"buffers\":[{\"uri\":\"shared.bin\",\"byteLength\":" + std::to_string(g.bin.size()) +
           "}]}";
}

const std::string Positions = R"({"bufferView":0,"componentType":5126,"count":4,"type":"VEC3"})";
const std::string Triangles = R"({"bufferView":1,"componentType":5123,"count":6,"type":"SCALAR"})";
const std::string Views =
    R"({"buffer":0,"byteOffset":0,"byteLength":48},{"buffer":0,"byteOffset":80,"byteLength":12})";

TEST(ImportGltfModel, RefusesHostileFilesWithOneMessageNamingTheFile) {
    ScratchFolder scratch;
    WriteWholeFile(scratch / "shared.bin", SharedGeometry().bin);
    const std::string deep =
        "{\"asset\":{\"version\":\"2.0\"},\"extras\":" + std::string(100000, '[') +
        std::string(100000, ']') + "}";
    const Hostile cases[] = {
        {"cycle", WithNodes(R"([{"nodes":[0]}])", R"([{"children":[1]},{"children":[0]}])"),
         "own ancestor"},
        {"two-parents",
         WithNodes(R"([{"nodes":[0,1]}])", R"([{"children":[2]},{"children":[2]},{"mesh":0}])"),
         "child of two nodes"},
        {"root-twice", WithNodes(R"([{"nodes":[0,0]}])", R"([{"mesh":0}])"), "reached twice"},
        {"no-scene", WithNodes("[]", R"([{"mesh":0}])"), "no scene"},
        {"deep", deep, "nests deeper than 128"},
        {"past-view",
         WithAccessor(
             R"({"bufferView":0,"componentType":5126,"count":5,"type":"VEC3"},)" + Triangles,
             Views),
         "accessor 0 reaches past its buffer view"},
        {"absurd-count",
         WithAccessor(R"({"bufferView":0,"componentType":5126,"count":4000000000,"type":"VEC3"},)" +
                          Triangles,
                      Views),
         "accessor 0 reaches past its buffer view"},
        {"huge-offset",
         WithAccessor(
             R"({"bufferView":0,"byteOffset":18446744073709551600,"componentType":5126,"count":4,"type":"VEC3"},)" +
                 Triangles,
             Views),
         "cannot import"},
        {"stride",
         WithAccessor(
             Positions + "," + Triangles,
             R"({"buffer":0,"byteLength":48,"byteStride":252},{"buffer":0,"byteOffset":80,"byteLength":12})"),
         "accessor 0 reaches past its buffer view"},
        {"view-past-buffer",
         WithAccessor(
             Positions + "," + Triangles,
             R"({"buffer":0,"byteOffset":4294967295,"byteLength":48},{"buffer":0,"byteOffset":80,"byteLength":12})"),
         "reaches past its buffer"},
        {"index-range",
         WithAccessor(
             Positions + "," + R"({"bufferView":1,"componentType":5125,"count":3,"type":"SCALAR"})",
             Views),
         "names a vertex"},
        {"float-indices",
         WithAccessor(
             Positions + "," + R"({"bufferView":1,"componentType":5126,"count":3,"type":"SCALAR"})",
             Views),
         "holds no indices"},
        {"short-strip",
         WithAccessor(
             Positions + "," + R"({"bufferView":1,"componentType":5123,"count":2,"type":"SCALAR"})",
             Views, "5"),
         "too few corners"},
        {"unknown-mode", WithAccessor(Positions + "," + Triangles, Views, "9"), "unknown mode"},
        {"missing-bin",
         std::string(
             R"({"asset":{"version":"2.0"},"buffers":[{"uri":"nothing.bin","byteLength":4}]})"),
         "nothing.bin"},
        {"not-json", "{\"asset\":", "cannot import"},
        {"version-one", R"({"asset":{"version":"1.0"},"scenes":[{"nodes":[]}]})", "not 2.0"},
    };
    for (const Hostile& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = scratch / (std::string(c.name) + ".gltf");
        WriteWholeFile(path, c.json);
        const Imported ours = ImportWith(ImportGltfModel, path);
        ASSERT_FALSE(ours.status.ok());
        EXPECT_EQ(ours.status.message().rfind("cannot import '" + path + "': ", 0), 0u)
            << ours.status.message();
        EXPECT_NE(ours.status.message().find(c.reason), std::string::npos) << ours.status.message();
        EXPECT_EQ(ours.status.message().find('\n'), std::string::npos);
    }
}

// Every cut of a sound binary file fails cleanly (or, cut only in its padding, imports).
TEST(ImportGltfModel, EveryTruncatedGlbFailsCleanly) {
    ScratchFolder scratch;
    WriteCase(scratch, Cases[1]);
    const Bytes whole = ReadWholeFileBytes(scratch / "tree.glb");
    for (std::size_t length = 0; length < whole.size(); ++length) {
        const std::string path = scratch / "cut.glb";
        WriteWholeFile(path, Bytes(whole.begin(), whole.begin() + static_cast<long>(length)));
        const Imported ours = ImportWith(ImportGltfModel, path);
        ASSERT_FALSE(ours.status.ok()) << length;
        ASSERT_EQ(ours.status.message().rfind("cannot import '" + path + "': ", 0), 0u);
    }
}

}  // namespace

}  // namespace cmp
