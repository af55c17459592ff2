// Small glTF documents for the importer's tests: one buffer of shared geometry, meshes of
// every primitive mode, and scenes of each shape the importers could read differently,
// written as .glb, as .gltf with an external .bin and as .gltf with a data: URI.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/error.h"
#include "core/little_endian.h"
#include "modelhost/import_rules.h"
#include "tests/support/file_contents.h"
#include "tests/support/model_builder.h"
#include "tests/support/model_snapshot.h"
#include "tests/support/scratch_folder.h"

namespace cmp::gltf_documents {

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

inline Bytes Floats(const std::vector<float>& values) {
    Bytes bytes;
    for (float v : values) {
        AppendF32(bytes, v);
    }
    return bytes;
}

// Accessors: 0 four positions, 1 their uvs, 2 u16 triangles, 3 u8 strip, 4 u32 lines,
// 5 one position, 6 uvs as scalars.
inline Geometry SharedGeometry() {
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

inline const char* const Meshes = R"([
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

inline const char* const Materials =
    R"([{"name":"Paint"},{},{"name":"DefaultMaterial"},{"name":"Glass"}])";

struct Case {
    const char* file;  // without extension; also what unnamed meshes are called after
    const char* scenes;
    const char* nodes;
};

inline const Case Cases[] = {
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

inline std::string Base64(const Bytes& bytes) {
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

inline std::string Document(const Case& c, const Geometry& g, const std::string& buffer) {
    return std::string(R"({"asset":{"version":"2.0"},"scene":0,"scenes":)") + c.scenes +
           ",\"nodes\":" + c.nodes + ",\"meshes\":" + Meshes + ",\"materials\":" + Materials +
           ",\"accessors\":[" + g.accessors + "],\"bufferViews\":[" + g.views + "],\"buffers\":[" +
           buffer + "]}";
}

inline Bytes Glb(std::string json, const Bytes& bin) {
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
inline std::vector<std::string> WriteCase(const ScratchFolder& scratch, const Case& c) {
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

}  // namespace cmp::gltf_documents
