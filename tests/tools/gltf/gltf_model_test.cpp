// The glTF document of a stored model, read back by tinygltf: every stored value where it
// belongs, and what becomes of the values glTF cannot hold as stored.
#include "tools/cmpinfo/gltf/gltf.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "mesh/mesh.h"
#include "tests/tools/gltf_rules.h"

namespace cmp {

namespace {

constexpr float NaN = std::numeric_limits<float>::quiet_NaN();
constexpr float Infinity = std::numeric_limits<float>::infinity();

StoredVertex Vertex(std::array<float, 3> position, std::array<float, 2> uv = {0.5f, 0.25f}) {
    return StoredVertex{position, {0.0f, 1.0f, 0.0f}, uv};
}

StoredMesh Mesh(std::size_t entry, std::uint16_t index, std::uint32_t material,
                std::vector<StoredVertex> vertices, std::vector<std::uint16_t> indices) {
    return StoredMesh{entry, index, material, std::move(vertices), std::move(indices)};
}

// A model of these entries and meshes in which one reference shows each entry.
StoredModel ModelOf(std::vector<std::string> entries, std::vector<StoredMesh> meshes) {
    StoredModel model;
    model.entries = std::move(entries);
    model.meshes = std::move(meshes);
    for (std::size_t e = 0; e < model.entries.size(); ++e) {
        model.references.push_back({e});
    }
    return model;
}

// Awkward floats on purpose: a negative zero, a subnormal, the largest float, a value with
// every mantissa bit set.
StoredModel AwkwardModel() {
    StoredModel model =
        ModelOf({"Hull.lod0.vms", "Wing.lod0.vms"},
                {Mesh(0, 0, 0xEB9CFAA5,
                      {Vertex({-0.0f, 1e-40f, 3.0f}),
                       Vertex({std::numeric_limits<float>::max(), -2.5f, 0.1f}),
                       Vertex({std::bit_cast<float>(0x3F7FFFFFu), -7.0f, -0.0f})},
                      {0, 1, 2, 2, 1, 0}),
                 Mesh(0, 1, 0x12345678, {Vertex({1, 2, 3}), Vertex({4, 5, 6}), Vertex({7, 8, 9})},
                      {0, 1, 2}),
                 Mesh(1, 0, 0xEB9CFAA5, {Vertex({0, 0, 0}), Vertex({1, 0, 0}), Vertex({0, 1, 0})},
                      {0, 2, 1})});
    model.meshes[0].vertices[1].normal = {0.6f, -0.8f, -0.0f};
    model.meshes[0].vertices[2].uv = {-1.5f, 2.0e-39f};
    return model;
}

struct Made {
    tinygltf::Model document;
    GltfAdjustments adjustments;
};

// The document in the form asked, read back; a test failure when it cannot be made or read.
Made MakeDocument(const StoredModel& model, GltfForm form = GltfForm::Binary) {
    const Result<GltfFile> file = MakeGltfFile(model, "ship.cmp", form);
    EXPECT_TRUE(file) << file.message();
    Made made;
    if (file) {
        std::string error;
        EXPECT_TRUE(ReadGltfDocument(Joined(file.value()), made.document, error)) << error;
        made.adjustments = file.value().adjustments;
    }
    return made;
}

std::vector<std::uint16_t> Indices(const tinygltf::Model& document, int accessorIndex) {
    const tinygltf::Accessor& accessor = document.accessors.at(accessorIndex);
    const tinygltf::BufferView& view = document.bufferViews.at(accessor.bufferView);
    const std::vector<unsigned char>& bytes = document.buffers.at(view.buffer).data;
    EXPECT_EQ(view.byteOffset % 4, 0u) << "views start on four-byte boundaries";
    std::vector<std::uint16_t> values(accessor.count);
    std::memcpy(values.data(), bytes.data() + view.byteOffset + accessor.byteOffset,
                2 * accessor.count);
    return values;
}

std::vector<std::uint32_t> Bits(const std::vector<float>& values) {
    std::vector<std::uint32_t> bits;
    for (const float value : values) {
        bits.push_back(std::bit_cast<std::uint32_t>(value));
    }
    return bits;
}

// The primitive that shows stored mesh `m`: its entry's glTF mesh, its place there.
const tinygltf::Primitive& PrimitiveOf(const tinygltf::Model& document, const StoredModel& model,
                                       std::size_t m) {
    const std::string& entry = model.entries[model.meshes[m].entry];
    for (const tinygltf::Mesh& mesh : document.meshes) {
        for (const tinygltf::Primitive& primitive : mesh.primitives) {
            if (mesh.name == GetGltfName(entry) &&
                primitive.extras.Get("mesh").Get<int>() == model.meshes[m].indexInEntry) {
                return primitive;
            }
        }
    }
    ADD_FAILURE() << "no primitive shows mesh " << m;
    return document.meshes.at(0).primitives.at(0);
}

TEST(GltfModel, AccessorsHoldEveryStoredValueBitForBit) {
    const StoredModel model = AwkwardModel();
    for (const GltfForm form : {GltfForm::Text, GltfForm::Binary}) {
        const tinygltf::Model document = MakeDocument(model, form).document;
        ASSERT_EQ(document.meshes.size(), model.entries.size());
        for (std::size_t m = 0; m < model.meshes.size(); ++m) {
            const StoredMesh& stored = model.meshes[m];
            const tinygltf::Primitive& primitive = PrimitiveOf(document, model, m);
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
                const std::size_t components = attribute.type == TINYGLTF_TYPE_VEC3 ? 3 : 2;
                EXPECT_EQ(Bits(GltfFloats(document, index, components)), Bits(attribute.values))
                    << "mesh " << m << " " << attribute.name;
            }
            const tinygltf::Accessor& indices = document.accessors[primitive.indices];
            EXPECT_EQ(indices.componentType, TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT);
            EXPECT_EQ(indices.type, TINYGLTF_TYPE_SCALAR);
            EXPECT_EQ(Indices(document, primitive.indices), stored.indices);
        }
    }
}

TEST(GltfModel, PositionBoundsAreTheStoredExtremes) {
    const StoredModel model = AwkwardModel();
    const tinygltf::Model document = MakeDocument(model).document;
    const tinygltf::Accessor& positions =
        document.accessors[PrimitiveOf(document, model, 0).attributes.at("POSITION")];
    const double top = std::numeric_limits<float>::max();
    EXPECT_EQ(positions.minValues, (std::vector<double>{-0.0, -7.0, -0.0}));
    EXPECT_EQ(positions.maxValues, (std::vector<double>{top, 1e-40f, 3.0}));
}

TEST(GltfModel, NamesMeshesByEntryAndPlaceAndMaterialsByIdentifier) {
    StoredModel model = AwkwardModel();
    model.entries.push_back("Bad\xFF\x1B]0;x\x07.vms");
    model.meshes.push_back(Mesh(2, 7, 0, {Vertex({0, 0, 0})}, {0, 0, 0}));
    model.references.push_back({2});
    const tinygltf::Model document = MakeDocument(model).document;

    struct Expected {
        const char* entry;
        int place;
        int material;
    };
    const Expected expected[] = {{"Hull.lod0.vms", 0, 0},
                                 {"Hull.lod0.vms", 1, 1},
                                 {"Wing.lod0.vms", 0, 0},
                                 {"Bad\\xFF\\x1B]0;x\\x07.vms", 7, 2}};
    ASSERT_EQ(document.meshes.size(), 3u);
    for (std::size_t m = 0; m < std::size(expected); ++m) {
        const tinygltf::Primitive& primitive = PrimitiveOf(document, model, m);
        EXPECT_EQ(primitive.extras.Get("mesh").Get<int>(), expected[m].place) << m;
        EXPECT_EQ(primitive.material, expected[m].material) << m;
    }
    for (std::size_t e = 0; e < 3; ++e) {
        EXPECT_EQ(document.meshes[e].name, expected[e == 0 ? 0 : e + 1].entry);
        EXPECT_EQ(document.nodes[1 + e].name, document.meshes[e].name);
        EXPECT_EQ(document.nodes[1 + e].mesh, static_cast<int>(e));
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
    const tinygltf::Model document = MakeDocument(model).document;

    ASSERT_EQ(document.scenes.size(), 1u);
    EXPECT_EQ(document.defaultScene, 0);
    EXPECT_EQ(document.scenes[0].nodes, std::vector<int>{0});
    const tinygltf::Node& root = document.nodes[0];
    EXPECT_EQ(root.name, "ship.cmp");
    EXPECT_EQ(root.rotation, (std::vector<double>{1, 0, 0, 0}));
    EXPECT_EQ(root.scale, std::vector<double>(3, 1.0 / static_cast<double>(ModelScale)));
    EXPECT_TRUE(root.matrix.empty() && root.translation.empty());
    EXPECT_EQ(root.children, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(document.nodes.size(), 4u);
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
    const Made made = MakeDocument(model);
    const tinygltf::Model& document = made.document;
    ASSERT_EQ(document.nodes.size(), 4u);
    EXPECT_TRUE(document.buffers.empty()) << "a model of hardpoints alone has no data";
    EXPECT_TRUE(document.meshes.empty());
    EXPECT_EQ(made.adjustments.orientationsReplaced, 0u);

    // Row i of the stored orientation is the glTF matrix's column i.
    const tinygltf::Node& first = document.nodes[1];
    EXPECT_EQ(first.name, "HpWeapon01");
    EXPECT_EQ(first.mesh, -1);
    EXPECT_EQ(first.matrix, (std::vector<double>{0.0, 0.6f, 0.0, 0.0, -1.0, 0.0, 0.0, 0.0, 0.0, 0.0,
                                                 0.6f, 0.0, 0.25, -0.5, 2.0, 1.0}));
    EXPECT_TRUE(first.rotation.empty() && first.translation.empty() && first.scale.empty());
    EXPECT_EQ(first.extras.Get("kind").Get<std::string>(), "Fixed");
    EXPECT_FALSE(first.extras.Has("axis"));
    EXPECT_FALSE(first.extras.Has("orientation"));

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
    const StoredModel model =
        ModelOf({"A.vms", "B.vms"}, {Mesh(0, 0, 1, {Vertex({1, 2, 3}), Vertex({4, 5, 6})}, {}),
                                     Mesh(0, 1, 1, {}, {}), Mesh(1, 0, 1, {}, {})});
    const tinygltf::Model document = MakeDocument(model).document;
    ASSERT_EQ(document.meshes.size(), 1u);
    ASSERT_EQ(document.meshes[0].primitives.size(), 1u);
    EXPECT_EQ(document.meshes[0].primitives[0].mode, TINYGLTF_MODE_POINTS);
    EXPECT_EQ(document.meshes[0].primitives[0].indices, -1);
    // The reference to B, whose one mesh has no vertices, has no node.
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
        const Result<GltfFile> made = MakeGltfFile(model, "ship.cmp", GltfForm::Binary);
        ASSERT_FALSE(made) << c.name;
        EXPECT_EQ(made.code(), ErrorCode::ModelRefused) << c.name;
        EXPECT_EQ(made.message().rfind(c.message, 0), 0u) << c.name << ": " << made.message();
    }
}

// Many references to one stream share one glTF mesh, and the buffer holds the stream once:
// the document grows with the references by a small node each.
TEST(GltfModel, ReferencesToOneStreamShareItsMesh) {
    StoredModel model = ModelOf(
        {"Hull.lod0.vms"},
        {Mesh(0, 0, 1, {Vertex({0, 0, 0}), Vertex({1, 0, 0}), Vertex({0, 1, 0})}, {0, 1, 2})});
    const std::size_t bufferOfOne = MakeDocument(model).document.buffers.at(0).data.size();
    model.references.assign(500, StoredReference{0});
    const tinygltf::Model document = MakeDocument(model).document;
    ASSERT_EQ(document.meshes.size(), 1u);
    ASSERT_EQ(document.nodes.size(), 501u);
    for (std::size_t n = 1; n < document.nodes.size(); ++n) {
        EXPECT_EQ(document.nodes[n].mesh, 0) << n;
    }
    EXPECT_EQ(document.buffers.at(0).data.size(), bufferOfOne);
    // Three vertex records and three indices, padded to a word.
    EXPECT_EQ(bufferOfOne, 3 * 32 + 8u);
}

// Normals glTF cannot hold as stored: the validator wants unit length (within 0.00674).
TEST(GltfModel, NormalsAreMadeUnitOrLeftOutWhenZero) {
    struct Case {
        std::array<float, 3> stored;
        NormalFix fix;
        std::array<float, 3> written;  // when not Zero
    };
    const float third = static_cast<float>(1 / std::sqrt(3.0));
    const Case cases[] = {
        {{0, 1, 0}, NormalFix::Kept, {0, 1, 0}},
        {{0.6f, -0.8f, 0}, NormalFix::Kept, {0.6f, -0.8f, 0}},
        {{0, 1.004f, 0}, NormalFix::Kept, {0, 1.004f, 0}},
        {{0, 0.996f, 0}, NormalFix::Kept, {0, 0.996f, 0}},
        {{0, 1.006f, 0}, NormalFix::MadeUnit, {0, 1, 0}},
        {{0, 5, 0}, NormalFix::MadeUnit, {0, 1, 0}},
        {{3, 0, -4}, NormalFix::MadeUnit, {0.6f, 0, -0.8f}},
        {{1e-40f, 1e-40f, 1e-40f}, NormalFix::MadeUnit, {third, third, third}},
        {{-3e38f, 0, 0}, NormalFix::MadeUnit, {-1, 0, 0}},
        {{0, 0, 0}, NormalFix::Zero, {}},
        {{-0.0f, 0, -0.0f}, NormalFix::Zero, {}},
    };
    for (const Case& c : cases) {
        std::array<float, 3> normal = c.stored;
        EXPECT_EQ(MakeUnitNormal(normal), c.fix) << c.stored[0] << " " << c.stored[1];
        if (c.fix != NormalFix::Zero) {
            EXPECT_EQ(normal, c.written) << c.stored[0] << " " << c.stored[1];
        } else {
            EXPECT_EQ(Bits({normal.begin(), normal.end()}),
                      Bits({c.stored.begin(), c.stored.end()}));
        }
    }

    // In a document: a mesh with a zero normal has none; the others are made unit and
    // counted, and every file keeps the validator's rule.
    StoredModel model = AwkwardModel();
    model.meshes[0].vertices[0].normal = {0, 5, 0};
    model.meshes[0].vertices[2].normal = {0, 0.5f, 0};
    model.meshes[1].vertices[1].normal = {0, 0, 0};
    model.meshes[1].vertices[2].normal = {0, 7, 0};  // not counted: the mesh has no normals
    const Made made = MakeDocument(model);
    EXPECT_EQ(made.adjustments.normalsMadeUnit, 2u);
    EXPECT_EQ(made.adjustments.meshesWithoutNormals, 1u);
    EXPECT_EQ(made.adjustments.firstMeshWithoutNormals, "Hull.lod0.vms mesh 1");
    EXPECT_FALSE(PrimitiveOf(made.document, model, 1).attributes.count("NORMAL"));
    const std::vector<float> written =
        GltfFloats(made.document, PrimitiveOf(made.document, model, 0).attributes.at("NORMAL"), 3);
    EXPECT_EQ(written, (std::vector<float>{0, 1, 0, 0.6f, -0.8f, -0.0f, 0, 1, 0}));
    EXPECT_EQ(FindGltfRuleBreaches(made.document), std::vector<std::string>{});
}

// Orientations glTF holds as a node's matrix are kept exactly; any other gets the nearest
// rotation, and the stored rows go into the node's extras.
TEST(GltfModel, AnOrientationNoNodeCanHoldGetsTheNearestRotation) {
    const double c = std::cos(0.5);
    const double s = std::sin(0.5);
    const auto f = [](double v) { return static_cast<float>(v); };
    struct Case {
        const char* what;
        std::array<float, 9> orientation;
        bool kept;
        std::array<double, 9> nearest;  // columns, when not kept
    };
    const std::array<double, 9> identity{1, 0, 0, 0, 1, 0, 0, 0, 1};
    const std::array<double, 9> turned{c, s, 0, -s, c, 0, 0, 0, 1};
    const Case cases[] = {
        {"identity", {1, 0, 0, 0, 1, 0, 0, 0, 1}, true, {}},
        {"turned", {f(c), f(s), 0, f(-s), f(c), 0, 0, 0, 1}, true, {}},
        // The export's own rows for the face normal (0.48, 0.6, 0.64), rounded to floats.
        {"scaled along its axes, as the export writes them",
         {0.6f, 0.48f, 0, -0.48f, 0.6f, 0.64f, 0.48f * 0.64f, -(0.6f * 0.64f),
          0.48f * 0.48f + 0.6f * 0.6f},
         true,
         {}},
        {"mirrored", {-1, 0, 0, 0, 1, 0, 0, 0, 1}, true, {}},
        {"tiny", {1e-30f, 0, 0, 0, 1e-30f, 0, 0, 0, 1e-30f}, true, {}},
        {"eight long", {8, 0, 0, 0, 8, 0, 0, 0, 8}, true, {}},
        {"nine long", {9, 0, 0, 0, 9, 0, 0, 0, 9}, false, identity},
        {"zero", {0, 0, 0, 0, 0, 0, 0, 0, 0}, false, identity},
        {"one row zero", {1, 0, 0, 0, 1, 0, 0, 0, 0}, false, identity},
        {"sheared", {1, 0.5f, 0, 0, 1, 0, 0, 0, 1}, false, {}},
        {"turned and slightly sheared",
         {f(c), f(s), 0, f(-s), f(c), 0.01f, 0, 0, 1},
         false,
         turned},
    };
    for (const Case& k : cases) {
        const StoredHardpoint hardpoint{
            .name = "Gun", .orientation = k.orientation, .position = {1, 2, 3}};
        const GltfHardpointMatrix written = GetGltfHardpointMatrix(hardpoint);
        const bool kept = k.kept;
        EXPECT_EQ(IsGltfNodeOrientation(k.orientation), kept) << k.what;
        EXPECT_EQ(written.keptAsStored, kept) << k.what;
        EXPECT_EQ((std::array<double, 4>{written.matrix[12], written.matrix[13], written.matrix[14],
                                         written.matrix[15]}),
                  (std::array<double, 4>{1, 2, 3, 1}))
            << k.what;
        for (std::size_t column = 0; column < 3; ++column) {
            for (std::size_t row = 0; row < 3; ++row) {
                const double value = written.matrix[4 * column + row];
                if (kept) {
                    EXPECT_EQ(value, k.orientation[3 * column + row]) << k.what;
                } else if (k.nearest != std::array<double, 9>{}) {
                    EXPECT_NEAR(value, k.nearest[3 * column + row], 0.01) << k.what;
                }
            }
        }
        if (!kept) {
            // A rotation: columns of unit length at right angles, turning the right way.
            std::array<std::array<double, 3>, 3> axes{};
            for (std::size_t column = 0; column < 3; ++column) {
                for (std::size_t row = 0; row < 3; ++row) {
                    axes[column][row] = written.matrix[4 * column + row];
                }
            }
            for (std::size_t a = 0; a < 3; ++a) {
                for (std::size_t b = 0; b < 3; ++b) {
                    const double dot =
                        axes[a][0] * axes[b][0] + axes[a][1] * axes[b][1] + axes[a][2] * axes[b][2];
                    EXPECT_NEAR(dot, a == b ? 1 : 0, 1e-12) << k.what;
                }
            }
            const auto& [x, y, z] = axes;
            EXPECT_NEAR(x[0] * (y[1] * z[2] - y[2] * z[1]) - x[1] * (y[0] * z[2] - y[2] * z[0]) +
                            x[2] * (y[0] * z[1] - y[1] * z[0]),
                        1, 1e-12)
                << k.what;
        }
        EXPECT_TRUE(ValidatorDecomposes({written.matrix.begin(), written.matrix.end()})) << k.what;
    }

    // In a document: the stored rows in extras, the change counted.
    StoredModel model;
    model.hardpoints = {
        StoredHardpoint{.name = "Kept"},
        StoredHardpoint{.name = "Sheared", .orientation = {1, 0.5f, 0, 0, 1, 0, 0, 0, 1}},
        StoredHardpoint{.name = "Zero", .orientation = {}}};
    const Made made = MakeDocument(model);
    EXPECT_EQ(made.adjustments.orientationsReplaced, 2u);
    EXPECT_EQ(made.adjustments.firstOrientationReplaced, "Sheared");
    EXPECT_FALSE(made.document.nodes[1].extras.Has("orientation"));
    const tinygltf::Value& stored = made.document.nodes[2].extras.Get("orientation");
    ASSERT_EQ(stored.ArrayLen(), 9u);
    EXPECT_EQ(stored.Get(1).Get<double>(), 0.5);
    EXPECT_TRUE(made.document.nodes[3].matrix.empty()) << "the identity, glTF's default";
    EXPECT_EQ(made.document.nodes[3].extras.Get("orientation").ArrayLen(), 9u);
    EXPECT_EQ(FindGltfRuleBreaches(made.document), std::vector<std::string>{});
}

// Whatever the orientation, the matrix written decomposes as the validator decomposes it:
// rotations scaled along their axes up to the longest kept, down to the tiniest, tilted
// within the rule's slack and past it, each with a position near the origin (where a
// position's column does not hide the others from the validator's comparison).
TEST(GltfModel, EveryHardpointMatrixWrittenDecomposes) {
    std::mt19937 random(7);
    std::uniform_real_distribution<double> unit(-1, 1);
    std::uniform_real_distribution<double> fraction(0, 1);
    for (int i = 0; i < 20000; ++i) {
        std::array<double, 4> q{unit(random), unit(random), unit(random), unit(random)};
        const double length = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
        for (double& c : q) {
            c /= length;
        }
        const auto& [x, y, z, w] = q;
        const std::array<double, 9> rotation{
            1 - 2 * (y * y + z * z), 2 * (x * y + w * z),     2 * (x * z - w * y),
            2 * (x * y - w * z),     1 - 2 * (x * x + z * z), 2 * (y * z + w * x),
            2 * (x * z + w * y),     2 * (y * z - w * x),     1 - 2 * (x * x + y * y)};
        const int kind = i % 4;
        StoredHardpoint hardpoint{.name = "Gun"};
        for (std::size_t row = 0; row < 3; ++row) {
            const double scale = kind == 0   ? MaxOrientationRowLength * fraction(random)
                                 : kind == 1 ? std::pow(10.0, -30 * fraction(random))
                                             : 1.0;
            const double tilt = kind == 2   ? 1e-6 * unit(random)
                                : kind == 3 ? 0.1 * unit(random)
                                            : 0;
            for (std::size_t column = 0; column < 3; ++column) {
                hardpoint.orientation[3 * row + column] = static_cast<float>(
                    scale * (rotation[3 * row + column] + (column == row ? 0 : tilt)));
            }
        }
        hardpoint.position = {static_cast<float>(unit(random)), static_cast<float>(unit(random)),
                              static_cast<float>(unit(random))};
        const GltfHardpointMatrix written = GetGltfHardpointMatrix(hardpoint);
        ASSERT_TRUE(ValidatorDecomposes({written.matrix.begin(), written.matrix.end()}))
            << "orientation " << i << " (kind " << kind << ")";
    }
}

}  // namespace

}  // namespace cmp
