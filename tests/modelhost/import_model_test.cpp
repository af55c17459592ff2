// The importer against what Assimp 5.2 really gives for small files of each kind.
#include "modelhost/import_model.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "core/little_endian.h"
#include "tests/support/file_contents.h"
#include "tests/support/model_builder.h"
#include "tests/support/scratch_folder.h"

namespace cmp {

namespace {

struct HostVertex {
    float x, y, z, u, v;
    friend bool operator==(const HostVertex&, const HostVertex&) = default;
};

struct HostMesh {
    std::string name;
    std::string material;  // empty: none
    std::vector<HostVertex> vertices;
    std::vector<std::uint16_t> corners;
};

// The model as the plug-in would read it through the model functions.
std::vector<HostMesh> ReadHostModel(ztModel model) {
    std::vector<HostMesh> meshes;
    for (std::int32_t m = 0; m < ztModel_GetMeshCount(model); ++m) {
        ztMesh mesh = ztModel_GetMeshAt(model, m);
        HostMesh host;
        char text[200] = {};
        ztMesh_GetName(mesh, text, sizeof text - 1);
        host.name = text;
        std::memset(text, 0, sizeof text);
        ztMaterial_GetName(ztModel_GetMaterialAt(model, ztMesh_GetMaterialIndex(mesh)), text,
                           sizeof text - 1);
        host.material = text;
        for (std::int32_t v = 0; v < ztMesh_GetVertexCount(mesh); ++v) {
            float xyz[3] = {};
            float uv[2] = {};
            ztVertex_GetVertex(ztMesh_GetVertexAt(mesh, v), xyz);
            ztVertex_GetTexCoords(ztMesh_GetVertexAt(mesh, v), uv);
            host.vertices.push_back({xyz[0], xyz[1], xyz[2], uv[0], uv[1]});
        }
        for (std::int32_t t = 0; t < ztMesh_GetTriangleCount(mesh); ++t) {
            std::uint16_t corners[3] = {};
            ztTriangle_GetVertexIndices(ztMesh_GetTriangleAt(mesh, t), corners);
            host.corners.insert(host.corners.end(), corners, corners + 3);
        }
        meshes.push_back(host);
    }
    return meshes;
}

struct Imported {
    Status status;
    std::vector<HostMesh> meshes;
    ImportSummary summary;
};

Imported Import(const std::string& path) {
    standin::ModelBuilder builder;
    Result<ImportSummary> imported = ImportModel(path, builder.model());
    return {imported.status(), ReadHostModel(builder.model()),
            imported ? imported.value() : ImportSummary{}};
}

TEST(ImportObj, JoinsCornersFlipsVAndNamesMeshesAfterTheirObjects) {
    ScratchFolder scratch;
    WriteWholeFile(scratch / "panel.mtl", "newmtl Steel\nKd 1 1 1\n");
    WriteWholeFile(scratch / "panel.obj",
                   "mtllib panel.mtl\n"
                   "v 0 0 0\nv 2 0 0\nv 2 1 0\nv 0 1 0\n"
                   "vt 0 0\nvt 1 0\nvt 1 0.25\nvt 0 0.25\n"
                   "o Panel\nusemtl Steel\nf 1/1 2/2 3/3 4/4\n"
                   "o Wire\nl 1 3\n"
                   "o Dot\np 2\n");
    Imported model = Import(scratch / "panel.obj");
    ASSERT_TRUE(model.status.ok()) << model.status.message();
    ASSERT_EQ(model.meshes.size(), 1u) << "points and lines are dropped";
    EXPECT_EQ(model.summary, (ImportSummary{1, 1, {scratch / "panel.obj", scratch / "panel.mtl"}}));
    const HostMesh& panel = model.meshes[0];
    EXPECT_EQ(panel.name, "Panel");
    EXPECT_EQ(panel.material, "Steel");
    EXPECT_EQ(panel.vertices,
              (std::vector<HostVertex>{
                  {0, 0, 0, 0, 1}, {2, 0, 0, 1, 1}, {2, 1, 0, 1, 0.75f}, {0, 1, 0, 0, 0.75f}}));
    EXPECT_EQ(panel.corners, (std::vector<std::uint16_t>{0, 1, 2, 0, 2, 3}));
}

TEST(ImportObj, AMeshWithoutMaterialHasNone) {
    ScratchFolder scratch;
    WriteWholeFile(scratch / "bare.obj", "o Bare\nv 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
    Imported model = Import(scratch / "bare.obj");
    ASSERT_TRUE(model.status.ok()) << model.status.message();
    ASSERT_EQ(model.meshes.size(), 1u);
    EXPECT_EQ(model.meshes[0].material, "");
    EXPECT_EQ(model.meshes[0].vertices[1], (HostVertex{1, 0, 0, 0, 0}));
}

// A glTF document over an external buffer with the given bytes.
void WriteGltf(const ScratchFolder& scratch, const std::string& name, const std::string& json,
               const Bytes& buffer) {
    WriteWholeFile(scratch / (name + ".bin"), std::string(buffer.begin(), buffer.end()));
    WriteWholeFile(scratch / (name + ".gltf"), json);
}

// Four vertices of which two are identical, indices in an order of their own, one mesh
// used by two nodes, a nested transform and an unnamed child node.
TEST(ImportGltf, KeepsVerticesIndicesAndNodeOrderAndAppliesTransforms) {
    ScratchFolder scratch;
    Bytes buffer;
    const float positions[4][3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 0}};
    const float uvs[4][2] = {{0, 0.25f}, {1, 0}, {0, 1}, {0, 0.25f}};
    for (const auto& p : positions) {
        for (float c : p) {
            AppendF32(buffer, c);
        }
    }
    for (const auto& t : uvs) {
        for (float c : t) {
            AppendF32(buffer, c);
        }
    }
    for (std::uint16_t i : {2, 0, 1, 3, 1, 2}) {
        AppendU16(buffer, i);
    }
    const std::string json = R"({
 "asset": {"version": "2.0"},
 "scene": 0,
 "scenes": [{"nodes": [0, 1]}],
 "nodes": [
  {"name": "Wing", "mesh": 0, "translation": [10, 0, 0]},
  {"name": "Tail", "translation": [1, 2, 3], "scale": [2, 2, 2], "children": [2]},
  {"mesh": 0, "translation": [1, 0, 0]}
 ],
 "meshes": [{"name": "Shared", "primitives": [{"attributes": {"POSITION": 0, "TEXCOORD_0": 1},
   "indices": 2, "material": 0}]}],
 "materials": [{"name": "Paint"}],
 "accessors": [
  {"bufferView": 0, "componentType": 5126, "count": 4, "type": "VEC3",
   "min": [0, 0, 0], "max": [1, 1, 0]},
  {"bufferView": 1, "componentType": 5126, "count": 4, "type": "VEC2"},
  {"bufferView": 2, "componentType": 5123, "count": 6, "type": "SCALAR"}
 ],
 "bufferViews": [
  {"buffer": 0, "byteOffset": 0, "byteLength": 48},
  {"buffer": 0, "byteOffset": 48, "byteLength": 32},
  {"buffer": 0, "byteOffset": 80, "byteLength": 12}
 ],
 "buffers": [{"uri": "parts.bin", "byteLength": 92}]
})";
    WriteGltf(scratch, "parts", json, buffer);
    Imported model = Import(scratch / "parts.gltf");
    ASSERT_TRUE(model.status.ok()) << model.status.message();
    ASSERT_EQ(model.meshes.size(), 2u);

    const HostMesh& wing = model.meshes[0];
    EXPECT_EQ(wing.name, "Wing");
    EXPECT_EQ(wing.material, "Paint");
    EXPECT_EQ(wing.corners, (std::vector<std::uint16_t>{2, 0, 1, 3, 1, 2}));
    // The file's texture origin is top left; the host's v is the same number.
    EXPECT_EQ(wing.vertices,
              (std::vector<HostVertex>{
                  {10, 0, 0, 0, 0.25f}, {11, 0, 0, 1, 0}, {10, 1, 0, 0, 1}, {10, 0, 0, 0, 0.25f}}));

    const HostMesh& tail = model.meshes[1];
    EXPECT_EQ(tail.name, "Tail") << "an unnamed node takes its nearest named parent's name";
    EXPECT_EQ(tail.corners, wing.corners);
    // 2 * (p + (1, 0, 0)) + (1, 2, 3)
    EXPECT_EQ(tail.vertices[0], (HostVertex{3, 2, 3, 0, 0.25f}));
    EXPECT_EQ(tail.vertices[1], (HostVertex{5, 2, 3, 1, 0}));
    EXPECT_EQ(tail.vertices[2], (HostVertex{3, 4, 3, 0, 1}));
}

// What the import drops, counted per point and per line segment of each mesh instance,
// so that a model left empty can say why.
TEST(ImportObj, CountsThePointsAndLinesItDrops) {
    struct Case {
        const char* content;
        std::size_t meshes;
        ImportSummary dropped;
    } cases[] = {
        {"v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n", 1, {0, 0, {}}},
        {"v 0 0 0\nv 1 0 0\nl 1 2\n", 0, {0, 1, {}}},
        {"v 0 0 0\nv 1 0 0\nv 0 1 0\nl 1 2 3\nl 3 1\n", 0, {0, 3, {}}},  // a polyline of two
        {"v 0 0 0\nv 1 0 0\np 1 2\np 2\n", 0, {3, 0, {}}},
        {"v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\no Rig\nl 1 2\np 3\n", 1, {1, 1, {}}},
    };
    ScratchFolder scratch;
    for (const Case& c : cases) {
        WriteWholeFile(scratch / "case.obj", c.content);
        Imported model = Import(scratch / "case.obj");
        ASSERT_TRUE(model.status.ok()) << c.content << model.status.message();
        EXPECT_EQ(model.meshes.size(), c.meshes) << c.content;
        ImportSummary expected = c.dropped;
        expected.filesRead = {scratch / "case.obj"};
        EXPECT_EQ(model.summary, expected) << c.content;
    }
}

// Points named as a hardpoint are its place (an empty exported as a point, a one-vertex
// mesh): they reach the host as vertices without triangles. Other points, lines, and points
// beside a hardpoint's own triangles are dropped as before.
TEST(ImportObj, KeepsPointsThatMarkAHardpoint) {
    struct Case {
        const char* content;
        std::vector<std::string> names;  // of the host meshes
        std::vector<std::size_t> vertexCounts;
        ImportSummary dropped;
    } cases[] = {
        {"o Hp_Fixed_Gun\nv 1 2 3\np 1\n", {"Hp_Fixed_Gun"}, {1}, {}},
        {"o hpRevolute_Top\nv 1 2 3\nv 3 2 1\np 1 2\n", {"hpRevolute_Top"}, {2}, {}},
        {"o Marker\nv 1 2 3\np 1\n", {}, {}, {1, 0, {}}},
        {"o Hp_Fixed_Gun\nv 0 0 0\nv 1 0 0\nl 1 2\n", {}, {}, {0, 1, {}}},
        {"o Hp_Fixed_Gun\nv 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\np 1\n",
         {"Hp_Fixed_Gun"},
         {3},
         {1, 0, {}}},
    };
    ScratchFolder scratch;
    for (const Case& c : cases) {
        WriteWholeFile(scratch / "case.obj", c.content);
        Imported model = Import(scratch / "case.obj");
        ASSERT_TRUE(model.status.ok()) << c.content << model.status.message();
        std::vector<std::string> names;
        std::vector<std::size_t> vertexCounts;
        for (const HostMesh& mesh : model.meshes) {
            names.push_back(mesh.name);
            vertexCounts.push_back(mesh.vertices.size());
            EXPECT_EQ(mesh.corners.size(), mesh.vertices.size() < 3 ? 0u : 3u) << c.content;
        }
        EXPECT_EQ(names, c.names) << c.content;
        EXPECT_EQ(vertexCounts, c.vertexCounts) << c.content;
        ImportSummary expected = c.dropped;
        expected.filesRead = {scratch / "case.obj"};
        EXPECT_EQ(model.summary, expected) << c.content;
    }
    // The point is the hardpoint's place, as the file has it.
    WriteWholeFile(scratch / "case.obj", cases[0].content);
    const Imported gun = Import(scratch / "case.obj");
    ASSERT_EQ(gun.meshes.size(), 1u);
    EXPECT_EQ(gun.meshes[0].vertices, (std::vector<HostVertex>{{1, 2, 3, 0, 0}}));
}

// A glTF scene of one triangle used by nodes in the given form: Assimp adds a root named
// "ROOT" above several root nodes, which must not name the meshes of unnamed ones.
TEST(ImportGltf, TheRootAddedAboveSeveralRootNodesNamesNoMesh) {
    struct Case {
        const char* what;
        const char* sceneNodes;
        const char* nodes;
        std::vector<std::string> names;
    } cases[] = {
        {"unnamed root nodes",
         "[0, 1, 2]",
         R"([{"mesh": 0}, {"mesh": 1}, {"mesh": 2}])",
         {"Engine", "Nozzle", "roots.gltf_2"}},
        {"named and unnamed",
         "[0, 1]",
         R"([{"name": "Pylon", "mesh": 0}, {"mesh": 1}])",
         {"Pylon", "Nozzle"}},
        {"unnamed under named",
         "[0, 1]",
         R"([{"name": "Pylon", "children": [2]}, {"mesh": 1}, {"mesh": 0}])",
         {"Pylon", "Nozzle"}},
        {"the user's own ROOT",
         "[0]",
         R"([{"name": "ROOT", "mesh": 0, "children": [1]},
          {"mesh": 1}])",
         {"ROOT", "ROOT"}},
    };
    ScratchFolder scratch;
    Bytes buffer;
    for (float c : {0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f}) {
        AppendF32(buffer, c);
    }
    for (std::uint16_t i : {0, 1, 2, 0}) {
        AppendU16(buffer, i);
    }
    for (const Case& c : cases) {
        const std::string json = std::string(R"({
 "asset": {"version": "2.0"}, "scene": 0, "scenes": [{"nodes": )") +
                                 c.sceneNodes + R"(}],
 "nodes": )" + c.nodes + R"(,
 "meshes": [{"name": "Engine", "primitives": [{"attributes": {"POSITION": 0}, "indices": 1}]},
            {"name": "Nozzle", "primitives": [{"attributes": {"POSITION": 0}, "indices": 1}]},
            {"primitives": [{"attributes": {"POSITION": 0}, "indices": 1}]}],
 "accessors": [
  {"bufferView": 0, "componentType": 5126, "count": 3, "type": "VEC3",
   "min": [0, 0, 0], "max": [1, 1, 0]},
  {"bufferView": 1, "componentType": 5123, "count": 3, "type": "SCALAR"}
 ],
 "bufferViews": [
  {"buffer": 0, "byteOffset": 0, "byteLength": 36},
  {"buffer": 0, "byteOffset": 36, "byteLength": 6}
 ],
 "buffers": [{"uri": "roots.bin", "byteLength": 44}]
})";
        WriteGltf(scratch, "roots", json, buffer);
        Imported model = Import(scratch / "roots.gltf");
        ASSERT_TRUE(model.status.ok()) << c.what << ": " << model.status.message();
        std::vector<std::string> names;
        for (const HostMesh& mesh : model.meshes) {
            names.push_back(mesh.name);
        }
        EXPECT_EQ(names, c.names) << c.what;
    }
}

TEST(ImportGltf, RefusesAMeshOfMoreThan65535Vertices) {
    ScratchFolder scratch;
    const int count = 65536;
    Bytes buffer;
    for (int i = 0; i < count; ++i) {
        AppendF32(buffer, static_cast<float>(i));
        AppendF32(buffer, 0);
        AppendF32(buffer, 0);
    }
    for (std::uint32_t i : {0u, 1u, 65535u}) {
        AppendU32(buffer, i);
    }
    const std::string json = R"({
 "asset": {"version": "2.0"}, "scene": 0, "scenes": [{"nodes": [0]}],
 "nodes": [{"name": "Huge", "mesh": 0}],
 "meshes": [{"primitives": [{"attributes": {"POSITION": 0}, "indices": 1}]}],
 "accessors": [
  {"bufferView": 0, "componentType": 5126, "count": 65536, "type": "VEC3",
   "min": [0, 0, 0], "max": [65535, 0, 0]},
  {"bufferView": 1, "componentType": 5125, "count": 3, "type": "SCALAR"}
 ],
 "bufferViews": [
  {"buffer": 0, "byteOffset": 0, "byteLength": 786432},
  {"buffer": 0, "byteOffset": 786432, "byteLength": 12}
 ],
 "buffers": [{"uri": "huge.bin", "byteLength": 786444}]
})";
    WriteGltf(scratch, "huge", json, buffer);
    Imported model = Import(scratch / "huge.gltf");
    ASSERT_FALSE(model.status.ok());
    EXPECT_EQ(model.status.message(),
              "mesh 'Huge' in 'huge.gltf' has 65536 vertices; a mesh may have at most 65535");
    EXPECT_TRUE(model.meshes.empty());
}

// A Collada file of one triangle (0, 0, 0), (2, 0, 0), (0, 2, 0) under one node with the
// given name, unit (metres per unit) and node matrix (16 numbers, rows first).
std::string OneTriangleCollada(const std::string& nodeName, const std::string& unit = "1",
                               const std::string& matrix = "1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1") {
    return R"(<?xml version="1.0" encoding="utf-8"?>
<COLLADA xmlns="http://www.collada.org/2005/11/COLLADASchema" version="1.4.1">
 <asset><unit meter=")" +
           unit + R"("/><up_axis>Y_UP</up_axis></asset>
 <library_geometries>
  <geometry id="geom-1" name="PartGeometry"><mesh>
   <source id="pos"><float_array id="pos-array" count="9">0 0 0 2 0 0 0 2 0</float_array>
    <technique_common><accessor source="#pos-array" count="3" stride="3">
     <param name="X" type="float"/><param name="Y" type="float"/><param name="Z" type="float"/>
    </accessor></technique_common></source>
   <vertices id="verts"><input semantic="POSITION" source="#pos"/></vertices>
   <triangles count="1"><input semantic="VERTEX" source="#verts" offset="0"/><p>0 1 2</p></triangles>
  </mesh></geometry>
 </library_geometries>
 <library_visual_scenes>
  <visual_scene id="scene-1" name="Scene">
   <node id="node-7" name=")" +
           nodeName + R"("><matrix>)" + matrix +
           R"(</matrix><instance_geometry url="#geom-1"/></node>
  </visual_scene>
 </library_visual_scenes>
 <scene><instance_visual_scene url="#scene-1"/></scene>
</COLLADA>
)";
}

TEST(ImportCollada, NamesMeshesAfterTheNodesNameNotItsId) {
    ScratchFolder scratch;
    WriteWholeFile(scratch / "turret.dae", OneTriangleCollada("Hp_Revolute_Turret01"));
    Imported model = Import(scratch / "turret.dae");
    ASSERT_TRUE(model.status.ok()) << model.status.message();
    ASSERT_EQ(model.meshes.size(), 1u);
    EXPECT_EQ(model.meshes[0].name, "Hp_Revolute_Turret01");
    EXPECT_EQ(model.meshes[0].corners, (std::vector<std::uint16_t>{0, 1, 2}));
}

// A node that mirrors space turns its triangles' corners round; one that mirrors twice
// (a half turn) or not at all leaves them, and a parent's mirror counts like the node's.
TEST(ImportGltf, TrianglesOfAMirroringNodeKeepTheirFirstCornerAndSwapTheOthers) {
    struct Case {
        const char* parentScale;
        const char* nodeScale;
        std::vector<std::uint16_t> corners;
    };
    const Case cases[] = {
        {"[1, 1, 1]", "[1, 1, 1]", {0, 1, 2}},
        {"[1, 1, 1]", "[-1, 1, 1]", {0, 2, 1}},
        {"[1, 1, 1]", "[1, -2, 1]", {0, 2, 1}},
        {"[1, 1, 1]", "[-1, -1, 1]", {0, 1, 2}},
        {"[1, 1, 1]", "[-1, -1, -1]", {0, 2, 1}},
        {"[-1, 1, 1]", "[1, 1, 1]", {0, 2, 1}},
        {"[-1, 1, 1]", "[1, 1, -1]", {0, 1, 2}},
        {"[1, 1, 1e-20]", "[-1, 1, 1]", {0, 2, 1}},
        // Flattened is not mirrored; a mirror whose determinant single precision would
        // round to 0 (1e-60) still is.
        {"[1, 1, 1]", "[1, 1, 0]", {0, 1, 2}},
        {"[1, 1, 1]", "[-1, 1, 0]", {0, 1, 2}},
        {"[1e-20, 1e-20, 1e-20]", "[-1, 1, 1]", {0, 2, 1}},
        {"[1e-20, 1e-20, 1e-20]", "[1, 1, 1]", {0, 1, 2}},
    };
    Bytes buffer;
    for (float c : {0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f}) {
        AppendF32(buffer, c);
    }
    for (std::uint16_t i : {0, 1, 2}) {
        AppendU16(buffer, i);
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.parentScale) + " " + c.nodeScale);
        ScratchFolder scratch;
        WriteGltf(scratch, "wing",
                  R"({
 "asset": {"version": "2.0"}, "scene": 0, "scenes": [{"nodes": [0]}],
 "nodes": [{"name": "Wings", "scale": )" +
                      std::string(c.parentScale) + R"(, "children": [1]},
           {"name": "Wing", "mesh": 0, "scale": )" +
                      c.nodeScale + R"(}],
 "meshes": [{"primitives": [{"attributes": {"POSITION": 0}, "indices": 1}]}],
 "accessors": [
  {"bufferView": 0, "componentType": 5126, "count": 3, "type": "VEC3",
   "min": [0, 0, 0], "max": [1, 1, 0]},
  {"bufferView": 1, "componentType": 5123, "count": 3, "type": "SCALAR"}],
 "bufferViews": [{"buffer": 0, "byteOffset": 0, "byteLength": 36},
                 {"buffer": 0, "byteOffset": 36, "byteLength": 6}],
 "buffers": [{"uri": "wing.bin", "byteLength": 42}]
})",
                  buffer);
        Imported model = Import(scratch / "wing.gltf");
        ASSERT_TRUE(model.status.ok()) << model.status.message();
        ASSERT_EQ(model.meshes.size(), 1u);
        EXPECT_EQ(model.meshes[0].corners, c.corners);
    }
}

// Collada's <unit> is applied by Assimp itself: a file in centimetres comes out in metres,
// and a mirroring node matrix turns the corners round there too.
TEST(ImportCollada, TheFilesUnitIsAppliedAndAMirroringMatrixTurnsCorners) {
    struct Case {
        const char* unit;
        const char* matrix;
        HostVertex second;
        std::vector<std::uint16_t> corners;
    };
    const Case cases[] = {
        {"1", "1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1", {2, 0, 0, 0, 0}, {0, 1, 2}},
        {"0.01", "1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1", {0.02f, 0, 0, 0, 0}, {0, 1, 2}},
        {"1", "-1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1", {-2, 0, 0, 0, 0}, {0, 2, 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.unit) + " " + c.matrix);
        ScratchFolder scratch;
        WriteWholeFile(scratch / "part.dae", OneTriangleCollada("Part", c.unit, c.matrix));
        Imported model = Import(scratch / "part.dae");
        ASSERT_TRUE(model.status.ok()) << model.status.message();
        ASSERT_EQ(model.meshes.size(), 1u);
        ASSERT_EQ(model.meshes[0].vertices.size(), 3u);
        EXPECT_FLOAT_EQ(model.meshes[0].vertices[1].x, c.second.x);
        EXPECT_EQ(model.meshes[0].corners, c.corners);
    }
}

// An ASCII FBX file of the triangle (0, 0, 0), (200, 0, 0), (0, 200, 0) under one model
// node, with the given UnitScaleFactor (centimetres per unit).
std::string OneTriangleFbx(const std::string& unitScaleFactor) {
    return R"(; FBX 7.4.0 project file
FBXHeaderExtension:  {
	FBXHeaderVersion: 1003
	FBXVersion: 7400
}
GlobalSettings:  {
	Version: 1000
	Properties70:  {
		P: "UpAxis", "int", "Integer", "",1
		P: "UpAxisSign", "int", "Integer", "",1
		P: "FrontAxis", "int", "Integer", "",2
		P: "FrontAxisSign", "int", "Integer", "",1
		P: "CoordAxis", "int", "Integer", "",0
		P: "CoordAxisSign", "int", "Integer", "",1
		P: "UnitScaleFactor", "double", "Number", "",)" +
           unitScaleFactor + R"(
	}
}
Objects:  {
	Geometry: 100, "Geometry::Tri", "Mesh" {
		Vertices: *9 {
			a: 0,0,0,200,0,0,0,200,0
		}
		PolygonVertexIndex: *3 {
			a: 0,1,-3
		}
	}
	Model: 200, "Model::Part", "Mesh" {
		Version: 232
	}
}
Connections:  {
	C: "OO",200,0
	C: "OO",100,200
}
)";
}

// One rule for the unit of both formats that state one: a finite length from a micrometre
// to a thousand kilometres is applied, anything else refused with the file and the unit
// as the file gives it. Collada's unit is in metres, FBX's in centimetres.
TEST(ImportModel, AUnitThatIsNoSensibleLengthIsRefused) {
    const std::string range = ", is no length from 0.000001 to 1000000 metres";
    struct Case {
        const char* format;  // "dae" or "fbx"
        const char* unit;
        std::string refusal;  // after "cannot import '<path>': "; empty: imported
        float secondX = 0;    // the second corner's x, in metres, when imported
    } cases[] = {
        {"dae", "0", "its unit, <unit meter=\"0\">" + range},
        {"dae", "-1", "its unit, <unit meter=\"-1\">" + range},
        {"dae", "1e-43", "its unit, <unit meter=\"1e-43\">" + range},
        {"dae", "nan", "its unit, <unit meter=\"nan\">" + range},
        // Assimp's scaling of the root turns an infinite unit into NaN.
        {"dae", "inf", "its unit, <unit meter=\"nan\">" + range},
        {"dae", "1e-7", "its unit, <unit meter=\"1e-07\">" + range},
        {"dae", "1e7", "its unit, <unit meter=\"1e+07\">" + range},
        {"dae", "0.01", "", 0.02f},
        {"dae", "1", "", 2.0f},
        {"dae", "0.000001", "", 2e-6f},
        {"dae", "1000000", "", 2e6f},
        {"fbx", "-1", "its unit, UnitScaleFactor -1 (centimetres)" + range},
        {"fbx", "1e-43", "its unit, UnitScaleFactor 1e-43 (centimetres)" + range},
        {"fbx", "nan", "its unit, UnitScaleFactor nan (centimetres)" + range},
        {"fbx", "inf", "its unit, UnitScaleFactor inf (centimetres)" + range},
        {"fbx", "1e-5", "its unit, UnitScaleFactor 1e-05 (centimetres)" + range},
        {"fbx", "1e9", "its unit, UnitScaleFactor 1e+09 (centimetres)" + range},
        // Assimp refuses this one itself.
        {"fbx", "0", "FBX: The UnitScaleFactor must be non-zero"},
        {"fbx", "1", "", 2.0f},
        {"fbx", "100", "", 200.0f},
        {"fbx", "0.0001", "", 2e-4f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.format) + " " + c.unit);
        ScratchFolder scratch;
        const std::string path = scratch / (std::string("part.") + c.format);
        WriteWholeFile(path, std::string(c.format) == "dae" ? OneTriangleCollada("Part", c.unit)
                                                            : OneTriangleFbx(c.unit));
        Imported model = Import(path);
        if (!c.refusal.empty()) {
            ASSERT_FALSE(model.status.ok());
            EXPECT_EQ(model.status.message(), "cannot import '" + path + "': " + c.refusal);
            continue;
        }
        ASSERT_TRUE(model.status.ok()) << model.status.message();
        ASSERT_EQ(model.meshes.size(), 1u);
        ASSERT_EQ(model.meshes[0].vertices.size(), 3u);
        EXPECT_FLOAT_EQ(model.meshes[0].vertices[1].x, c.secondX);
    }
}

// A mesh without a name of its own is named after the file; where that name would read as
// a hardpoint's (a file name beginning with "hp"), a word before it keeps the geometry in.
TEST(ImportObj, AMadeUpNameNeverReadsAsAHardpointName) {
    ScratchFolder scratch;
    WriteWholeFile(scratch / "hpship.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
    Imported model = Import(scratch / "hpship.obj");
    ASSERT_TRUE(model.status.ok()) << model.status.message();
    ASSERT_EQ(model.meshes.size(), 1u);
    EXPECT_EQ(model.meshes[0].name, "Mesh_hpship.obj");
}

TEST(ImportModel, AFileThatCannotBeReadNamesItself) {
    ScratchFolder scratch;
    WriteWholeFile(scratch / "garbage.obj", std::string("\x01\x02 not a model", 15));
    for (const std::string& path : {scratch / "missing.obj", scratch / "garbage.gltf"}) {
        Imported model = Import(path);
        EXPECT_FALSE(model.status.ok()) << path;
        if (!model.status.ok()) {
            EXPECT_EQ(model.status.message().rfind("cannot import '" + path + "': ", 0), 0u)
                << model.status.message();
        }
    }
    // A line break in the path, which the importer's own text quotes too, stays escaped:
    // the message is one line.
    Imported model = Import(scratch / "two\nlines.obj");
    ASSERT_FALSE(model.status.ok());
    EXPECT_EQ(model.status.message().rfind(
                  "cannot import '" + scratch.GetPath().string() + "/two\\x0Alines.obj': ", 0),
              0u)
        << model.status.message();
    EXPECT_EQ(model.status.message().find('\n'), std::string::npos) << model.status.message();
}

}  // namespace

}  // namespace cmp
