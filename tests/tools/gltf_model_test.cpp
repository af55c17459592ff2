#include "tools/cmpinfo/gltf_model.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "mesh/export_mesh.h"

namespace cmp {

namespace {

constexpr float NaN = std::numeric_limits<float>::quiet_NaN();
constexpr float Infinity = std::numeric_limits<float>::infinity();

StoredVertex Vertex(std::array<float, 3> position, std::array<float, 2> uv = {0.5f, 0.25f}) {
    return StoredVertex{position, {0.0f, 1.0f, 0.0f}, uv};
}

StoredMesh Mesh(std::string entry, std::uint16_t index, std::uint32_t material,
                std::vector<StoredVertex> vertices, std::vector<std::uint16_t> indices) {
    return StoredMesh{std::move(entry), index, material, std::move(vertices), std::move(indices)};
}

// Awkward floats on purpose: a negative zero, a subnormal, the largest float, a value with
// every mantissa bit set.
StoredModel AwkwardModel() {
    StoredModel model;
    model.meshes.push_back(Mesh(
        "Hull.lod0.vms", 0, 0xEB9CFAA5,
        {Vertex({-0.0f, 1e-40f, 3.0f}), Vertex({std::numeric_limits<float>::max(), -2.5f, 0.1f}),
         Vertex({std::bit_cast<float>(0x3F7FFFFFu), -7.0f, -0.0f})},
        {0, 1, 2, 2, 1, 0}));
    model.meshes.back().vertices[1].normal = {0.6f, -0.8f, -0.0f};
    model.meshes.back().vertices[2].uv = {-1.5f, 2.0e-39f};
    model.meshes.push_back(Mesh("Hull.lod0.vms", 1, 0x12345678,
                                {Vertex({1, 2, 3}), Vertex({4, 5, 6}), Vertex({7, 8, 9})},
                                {0, 1, 2}));
    model.meshes.push_back(Mesh("Wing.lod0.vms", 0, 0xEB9CFAA5,
                                {Vertex({0, 0, 0}), Vertex({1, 0, 0}), Vertex({0, 1, 0})},
                                {0, 2, 1}));
    return model;
}

template <class T>
std::vector<T> AccessorValues(const tinygltf::Model& document, int accessorIndex) {
    const tinygltf::Accessor& accessor = document.accessors.at(accessorIndex);
    const tinygltf::BufferView& view = document.bufferViews.at(accessor.bufferView);
    const std::vector<unsigned char>& bytes = document.buffers.at(view.buffer).data;
    EXPECT_EQ(view.byteOffset % 4, 0u) << "views start on four-byte boundaries";
    EXPECT_LE(view.byteOffset + view.byteLength, bytes.size());
    std::vector<T> values(view.byteLength / sizeof(T));
    std::memcpy(values.data(), bytes.data() + view.byteOffset, view.byteLength);
    return values;
}

std::vector<std::uint32_t> Bits(const std::vector<float>& values) {
    std::vector<std::uint32_t> bits;
    for (const float value : values) {
        bits.push_back(std::bit_cast<std::uint32_t>(value));
    }
    return bits;
}

TEST(GltfModel, AccessorsHoldEveryStoredValueBitForBit) {
    const StoredModel model = AwkwardModel();
    const Result<tinygltf::Model> made = MakeGltfModel(model, "ship.cmp");
    ASSERT_TRUE(made) << made.message();
    const tinygltf::Model& document = made.value();
    ASSERT_EQ(document.meshes.size(), model.meshes.size());

    for (std::size_t m = 0; m < model.meshes.size(); ++m) {
        const StoredMesh& stored = model.meshes[m];
        ASSERT_EQ(document.meshes[m].primitives.size(), 1u);
        const tinygltf::Primitive& primitive = document.meshes[m].primitives[0];
        EXPECT_EQ(primitive.mode, TINYGLTF_MODE_TRIANGLES);
        std::vector<float> positions, normals, uvs;
        for (const StoredVertex& vertex : stored.vertices) {
            positions.insert(positions.end(), vertex.position.begin(), vertex.position.end());
            normals.insert(normals.end(), vertex.normal.begin(), vertex.normal.end());
            uvs.insert(uvs.end(), vertex.uv.begin(), vertex.uv.end());
        }
        struct Attribute {
            const char* name;
            const std::vector<float>& values;
            int type;
        };
        for (const Attribute& attribute : {Attribute{"POSITION", positions, TINYGLTF_TYPE_VEC3},
                                           Attribute{"NORMAL", normals, TINYGLTF_TYPE_VEC3},
                                           Attribute{"TEXCOORD_0", uvs, TINYGLTF_TYPE_VEC2}}) {
            const int index = primitive.attributes.at(attribute.name);
            const tinygltf::Accessor& accessor = document.accessors[index];
            EXPECT_EQ(accessor.componentType, TINYGLTF_COMPONENT_TYPE_FLOAT) << attribute.name;
            EXPECT_EQ(accessor.type, attribute.type) << attribute.name;
            EXPECT_EQ(accessor.count, stored.vertices.size()) << attribute.name;
            EXPECT_EQ(Bits(AccessorValues<float>(document, index)), Bits(attribute.values))
                << "mesh " << m << " " << attribute.name;
        }
        const tinygltf::Accessor& indices = document.accessors[primitive.indices];
        EXPECT_EQ(indices.componentType, TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT);
        EXPECT_EQ(indices.type, TINYGLTF_TYPE_SCALAR);
        EXPECT_EQ(AccessorValues<std::uint16_t>(document, primitive.indices), stored.indices);
    }
}

TEST(GltfModel, PositionBoundsAreTheStoredExtremes) {
    const Result<tinygltf::Model> made = MakeGltfModel(AwkwardModel(), "ship.cmp");
    ASSERT_TRUE(made) << made.message();
    const tinygltf::Accessor& positions =
        made.value().accessors[made.value().meshes[0].primitives[0].attributes.at("POSITION")];
    const double top = std::numeric_limits<float>::max();
    EXPECT_EQ(positions.minValues, (std::vector<double>{-0.0, -7.0, -0.0}));
    EXPECT_EQ(positions.maxValues, (std::vector<double>{top, 1e-40f, 3.0}));
}

TEST(GltfModel, NamesMeshesByEntryAndPlaceAndMaterialsByIdentifier) {
    StoredModel model = AwkwardModel();
    model.meshes.push_back(Mesh("Bad\xFF\x1B]0;x\x07.vms", 7, 0, {Vertex({0, 0, 0})}, {0, 0, 0}));
    const Result<tinygltf::Model> made = MakeGltfModel(model, "ship.cmp");
    ASSERT_TRUE(made) << made.message();
    const tinygltf::Model& document = made.value();

    struct Expected {
        const char* name;
        int material;
    };
    const Expected expected[] = {{"Hull.lod0.vms mesh 0", 0},
                                 {"Hull.lod0.vms mesh 1", 1},
                                 {"Wing.lod0.vms mesh 0", 0},
                                 {"Bad\\xFF\\x1B]0;x\\x07.vms mesh 7", 2}};
    ASSERT_EQ(document.meshes.size(), std::size(expected));
    for (std::size_t m = 0; m < std::size(expected); ++m) {
        EXPECT_EQ(document.meshes[m].name, expected[m].name);
        EXPECT_EQ(document.meshes[m].primitives[0].material, expected[m].material) << m;
        EXPECT_EQ(document.nodes[1 + m].name, expected[m].name);
        EXPECT_EQ(document.nodes[1 + m].mesh, static_cast<int>(m));
    }
    ASSERT_EQ(document.materials.size(), 3u);
    EXPECT_EQ(document.materials[0].name, "0xEB9CFAA5");
    EXPECT_EQ(document.materials[1].name, "0x12345678");
    EXPECT_EQ(document.materials[2].name, "0x00000000");
    EXPECT_NE(document.materials[0].pbrMetallicRoughness.baseColorFactor,
              document.materials[1].pbrMetallicRoughness.baseColorFactor)
        << "meshes of different materials look different";
    for (const tinygltf::Material& material : document.materials) {
        for (const double channel : material.pbrMetallicRoughness.baseColorFactor) {
            EXPECT_GE(channel, 0.0);
            EXPECT_LE(channel, 1.0);
        }
    }
}

TEST(GltfModel, OneRootTurnsAndScalesTheFileBackToTheModellersSpace) {
    StoredModel model = AwkwardModel();
    model.hardpoints.push_back(StoredHardpoint{.name = "HpGun", .position = {1, 2, 3}});
    const Result<tinygltf::Model> made = MakeGltfModel(model, "ship.cmp");
    ASSERT_TRUE(made) << made.message();
    const tinygltf::Model& document = made.value();

    ASSERT_EQ(document.scenes.size(), 1u);
    EXPECT_EQ(document.defaultScene, 0);
    EXPECT_EQ(document.scenes[0].nodes, std::vector<int>{0});
    const tinygltf::Node& root = document.nodes[0];
    EXPECT_EQ(root.name, "ship.cmp");
    EXPECT_EQ(root.rotation, (std::vector<double>{1, 0, 0, 0}));
    EXPECT_EQ(root.scale, std::vector<double>(3, 1.0 / static_cast<double>(ModelScale)));
    EXPECT_TRUE(root.matrix.empty() && root.translation.empty());
    EXPECT_EQ(root.children, (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(document.nodes.size(), 5u);
    // A stored position times the root's scale, as a float, is the modeller's again.
    EXPECT_EQ(static_cast<float>(-0.5f * ModelScale * GetGltfRootScale()), -0.5f);
    EXPECT_EQ(static_cast<float>(92.0f * ModelScale * GetGltfRootScale()), 92.0f);
}

TEST(GltfModel, HardpointsAreEmptyNodesWithTheirMatrixAndKind) {
    StoredHardpoint fixed{.name = "HpWeapon01",
                          .orientation = {0.0f, 0.6f, 0.0f, -1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.6f},
                          .position = {0.25f, -0.5f, 2.0f}};
    StoredHardpoint revolute{.name = "Turret01",
                             .kind = HardpointKind::Revolute,
                             .position = {0.0f, -1.0f, 0.0f},
                             .axis = {0.0f, 1.0f, 0.0f},
                             .min = -0.7854f,
                             .max = 0.78538f};
    StoredHardpoint atOrigin{.name = "HpEngine01"};
    StoredModel model;
    model.hardpoints = {fixed, revolute, atOrigin};
    const Result<tinygltf::Model> made = MakeGltfModel(model, "ship.cmp");
    ASSERT_TRUE(made) << made.message();
    const tinygltf::Model& document = made.value();
    ASSERT_EQ(document.nodes.size(), 4u);
    EXPECT_TRUE(document.buffers.empty()) << "a model of hardpoints alone has no data";
    EXPECT_TRUE(document.meshes.empty());

    // Row i of the stored orientation is the glTF matrix's column i.
    const tinygltf::Node& first = document.nodes[1];
    EXPECT_EQ(first.name, "HpWeapon01");
    EXPECT_EQ(first.mesh, -1);
    EXPECT_EQ(first.matrix, (std::vector<double>{0.0, 0.6f, 0.0, 0.0, -1.0, 0.0, 0.0, 0.0, 0.0, 0.0,
                                                 0.6f, 0.0, 0.25, -0.5, 2.0, 1.0}));
    EXPECT_TRUE(first.rotation.empty() && first.translation.empty() && first.scale.empty());
    EXPECT_EQ(first.extras.Get("kind").Get<std::string>(), "Fixed");
    EXPECT_FALSE(first.extras.Has("axis"));

    const tinygltf::Node& second = document.nodes[2];
    EXPECT_EQ(second.matrix,
              (std::vector<double>{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, -1, 0, 1}));
    EXPECT_EQ(second.extras.Get("kind").Get<std::string>(), "Revolute");
    ASSERT_EQ(second.extras.Get("axis").ArrayLen(), 3u);
    EXPECT_EQ(second.extras.Get("axis").Get(1).Get<double>(), 1.0);
    EXPECT_EQ(second.extras.Get("min").Get<double>(), static_cast<double>(-0.7854f));
    EXPECT_EQ(second.extras.Get("max").Get<double>(), static_cast<double>(0.78538f));

    // The identity at the origin is glTF's default, left out.
    EXPECT_TRUE(document.nodes[3].matrix.empty());
}

TEST(GltfModel, MeshesWithoutTrianglesShowPointsAndWithoutVerticesNothing) {
    StoredModel model;
    model.meshes.push_back(Mesh("A.vms", 0, 1, {Vertex({1, 2, 3}), Vertex({4, 5, 6})}, {}));
    model.meshes.push_back(Mesh("A.vms", 1, 1, {}, {}));
    const Result<tinygltf::Model> made = MakeGltfModel(model, "a.cmp");
    ASSERT_TRUE(made) << made.message();
    const tinygltf::Model& document = made.value();
    ASSERT_EQ(document.meshes.size(), 1u);
    EXPECT_EQ(document.meshes[0].primitives[0].mode, TINYGLTF_MODE_POINTS);
    EXPECT_EQ(document.meshes[0].primitives[0].indices, -1);
    EXPECT_EQ(document.nodes[0].children, std::vector<int>{1});
}

TEST(GltfModel, ANumberThatIsNotFiniteIsRefusedByName) {
    struct Case {
        const char* name;
        void (*spoil)(StoredModel&);
        const char* message;
    };
    const Case cases[] = {
        {"position", [](StoredModel& m) { m.meshes[1].vertices[2].position[1] = NaN; },
         "mesh \"Hull.lod0.vms mesh 1\" vertex 2: its position is not a finite number"},
        {"normal", [](StoredModel& m) { m.meshes[0].vertices[1].normal[2] = -Infinity; },
         "mesh \"Hull.lod0.vms mesh 0\" vertex 1: its normal is not a finite number"},
        {"texture coordinate", [](StoredModel& m) { m.meshes[2].vertices[0].uv[0] = Infinity; },
         "mesh \"Wing.lod0.vms mesh 0\" vertex 0: its texture coordinate is not a finite number"},
        {"hardpoint position", [](StoredModel& m) { m.hardpoints[0].position[0] = NaN; },
         "hardpoint \"HpGun\": a stored value is not a finite number"},
        {"hardpoint orientation", [](StoredModel& m) { m.hardpoints[0].orientation[8] = NaN; },
         "hardpoint \"HpGun\": a stored value is not a finite number"},
        {"revolute limit", [](StoredModel& m) { m.hardpoints[0].max = Infinity; },
         "hardpoint \"HpGun\": a stored value is not a finite number"},
    };
    for (const Case& c : cases) {
        StoredModel model = AwkwardModel();
        model.hardpoints.push_back(StoredHardpoint{.name = "HpGun"});
        c.spoil(model);
        const Result<tinygltf::Model> made = MakeGltfModel(model, "ship.cmp");
        ASSERT_FALSE(made) << c.name;
        EXPECT_EQ(made.code(), ErrorCode::ModelRefused) << c.name;
        EXPECT_EQ(made.message().rfind(c.message, 0), 0u) << c.name << ": " << made.message();
    }
}

}  // namespace

}  // namespace cmp
