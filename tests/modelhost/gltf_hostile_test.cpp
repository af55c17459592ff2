// The glTF importer on hostile files: each must fail with one message that names the file,
// never crash or read past what it holds. Built for Linux and for 32-bit Windows, where
// sizes are 32 bits wide and modelhost.exe imports in its own process.
#include <gtest/gtest.h>

#include <string>

#include "modelhost/gltf_import.h"
#include "tests/modelhost/gltf_documents.h"

namespace cmp {

namespace {

using namespace gltf_documents;

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
