// The import child's wire form: what goes in comes out bit for bit, and a reply that is
// cut short or lies about its counts is refused before anything is built.
#include "modelhost/import_model.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "tests/e2e/host_model_reader.h"
#include "tests/support/model_builder.h"

namespace cmp {

namespace {

// Names with every byte value but 0, one at the importer's longest, numbers that are
// not numbers, a material index that names nothing and a corner past the vertices:
// the wire carries them as data.
void BuildAwkwardModel(standin::ModelBuilder& builder) {
    std::string everyByte;
    for (int c = 1; c < 256; ++c) {
        everyByte += static_cast<char>(c);
    }
    builder.AddMaterial("");
    builder.AddMaterial(everyByte.c_str());
    builder.AddMaterial(std::string(MaxWireNameLength, 'm').c_str());
    ztMesh hull = builder.AddMesh(everyByte.c_str(), 1);
    standin::ModelBuilder::AddVertex(hull, std::numeric_limits<float>::quiet_NaN(),
                                     std::numeric_limits<float>::infinity(), -0.0f, 1e-45f, -3.5f);
    standin::ModelBuilder::AddVertex(hull, 1, 2, 3, 0.25f, 0.75f);
    standin::ModelBuilder::AddTriangle(hull, 0, 1, 65535);
    builder.AddMesh("", 77);
    ztMesh marker = builder.AddMesh("Hp_Fixed_Gun", -1);
    standin::ModelBuilder::AddVertex(marker, 0, 0, 1);
}

Bytes AwkwardMessage() {
    standin::ModelBuilder builder;
    BuildAwkwardModel(builder);
    return EncodeImportedModel(builder.model(), {UINT32_MAX, 3, {"a.obj", "a.mtl"}});
}

bool IsEmpty(ztModel model) {
    return ztModel_GetMeshCount(model) == 0 && ztModel_GetMaterialCount(model) == 0;
}

TEST(ImportWire, AModelCrossesBitForBit) {
    standin::ModelBuilder original;
    BuildAwkwardModel(original);
    const ImportSummary summary{12, UINT32_MAX, {"ship.obj", "ship.mtl"}};
    const Bytes message = EncodeImportedModel(original.model(), summary);

    standin::ModelBuilder received;
    Result<ImportReply> reply = DecodeImportReply(message, received.model());
    ASSERT_TRUE(reply.ok()) << reply.message();
    EXPECT_EQ(reply.value().kind, ImportWireKind::Model);
    EXPECT_EQ(reply.value().summary, summary);
    EXPECT_EQ(ReadModelThroughFunctions(received.model()),
              ReadModelThroughFunctions(original.model()));
    EXPECT_EQ(ztModel_GetMeshCount(received.model()), 3);
}

TEST(ImportWire, TheSmallestModelHasAFixedLayout) {
    standin::ModelBuilder builder;
    ztMesh mesh = builder.AddMesh("A", -1);
    standin::ModelBuilder::AddVertex(mesh, 1, 0, 0, 0, 0);
    const Bytes expected = {
        'Z',  'T',  'M',  'W',  3,   0, 0, 0, 0,  0, 0, 0,  // magic, version, model
        0,    0,    0,    0,                                // no materials
        1,    0,    0,    0,                                // one mesh
        1,    0,    0,    0,    'A',                        // its name
        0xFF, 0xFF, 0xFF, 0xFF,                             // material -1
        1,    0,    0,    0,                                // one vertex
        0,    0,    0x80, 0x3F, 0,   0, 0, 0, 0,  0, 0, 0,  // 1, 0, 0
        0,    0,    0,    0,    0,   0, 0, 0,               // u, v
        0,    0,    0,    0,                                // no triangles
        3,    0,    0,    0,    1,   1, 0, 0,               // 3 points, 257 lines dropped
        1,    0,    0,    0,    1,   0, 0, 0, 'm'};         // one file read: "m"
    EXPECT_EQ(EncodeImportedModel(builder.model(), {3, 257, {"m"}}), expected);
}

TEST(ImportWire, FailuresCrossWithTheirMessage) {
    standin::ModelBuilder model;
    Result<ImportReply> failed =
        DecodeImportReply(EncodeImportFailure("cannot import 'x.obj': bad face"), model.model());
    ASSERT_TRUE(failed.ok()) << failed.message();
    EXPECT_EQ(failed.value().kind, ImportWireKind::ImportFailed);
    EXPECT_EQ(failed.value().message, "cannot import 'x.obj': bad face");

    Result<ImportReply> long_ =
        DecodeImportReply(EncodeImportFailure(std::string(100000, 'e')), model.model());
    ASSERT_TRUE(long_.ok()) << long_.message();
    EXPECT_EQ(long_.value().message.size(), MaxWireMessageLength) << "cut on the way out";

    Result<ImportReply> memory = DecodeImportReply(EncodeImportOutOfMemory(), model.model());
    ASSERT_TRUE(memory.ok());
    EXPECT_EQ(memory.value().kind, ImportWireKind::OutOfMemory);
    EXPECT_TRUE(IsEmpty(model.model()));
}

TEST(ImportWire, EveryTruncationIsRefusedAndBuildsNothing) {
    const Bytes message = AwkwardMessage();
    for (std::size_t length = 0; length < message.size(); ++length) {
        standin::ModelBuilder model;
        Result<ImportReply> reply =
            DecodeImportReply(Bytes(message.begin(), message.begin() + length), model.model());
        ASSERT_FALSE(reply.ok()) << length;
        EXPECT_EQ(reply.message().rfind("malformed reply at byte ", 0), 0u) << reply.message();
        ASSERT_TRUE(IsEmpty(model.model())) << length;
    }
}

// Offsets in the smallest model above.
constexpr std::size_t KindAt = 8;
constexpr std::size_t MaterialCountAt = 12;
constexpr std::size_t MeshCountAt = 16;
constexpr std::size_t NameLengthAt = 20;
constexpr std::size_t VertexCountAt = 29;
constexpr std::size_t TriangleCountAt = 53;
constexpr std::size_t SummaryAt = 57;
constexpr std::size_t FileCountAt = 65;

TEST(ImportWire, LiesAndLeftoversAreRefusedWithTheirOffset) {
    standin::ModelBuilder builder;
    standin::ModelBuilder::AddVertex(builder.AddMesh("A", -1), 1, 0, 0, 0, 0);
    const Bytes good = EncodeImportedModel(builder.model());
    ASSERT_EQ(good.size(), FileCountAt + 4);

    struct Case {
        const char* name;
        std::size_t at;  // where a u32 is replaced; SIZE_MAX: append a byte instead
        std::uint32_t value;
        const char* messagePart;
    } cases[] = {
        {"magic", 0, 0x574D5459, "at byte 0: it does not begin"},
        {"version", 4, 2, "at byte 4: unknown version"},  // one without the files read
        {"kind", KindAt, 3, "at byte 8: unknown kind 3"},
        {"materials past the bound", MaterialCountAt, MaxWireMaterials + 1,
         "at byte 12: the material count 1048577 passes the bound"},
        {"materials past the bytes", MaterialCountAt, 20,
         "at byte 12: the material count 20 needs"},
        {"meshes past the bytes", MeshCountAt, 4, "at byte 16: the mesh count 4 needs"},
        {"meshes past the bound", MeshCountAt, 0xFFFFFFFF, "passes the bound of 1048576"},
        {"name past the bytes", NameLengthAt, 1000, "at byte 20: a mesh name of 1000 bytes"},
        {"name past the bound", NameLengthAt, MaxWireNameLength + 1,
         "a mesh name of 4097 bytes, more than 4096"},
        {"vertices past the bytes", VertexCountAt, 2, "at byte 29: the vertex count 2 needs"},
        {"vertices past the bound", VertexCountAt, 65536, "the vertex count 65536 passes"},
        {"triangles past the bytes", TriangleCountAt, 3, "at byte 53: the triangle count 3"},
        {"triangles past the bound", TriangleCountAt, 0x80000000, "passes the bound of 16777216"},
        {"files past the bytes", FileCountAt, 1, "at byte 65: the file count 1 needs"},
        {"files past the bound", FileCountAt, MaxWireFilesRead + 1,
         "the file count 4097 passes the bound of 4096"},
        {"a byte after the end", SIZE_MAX, 0, "at byte 69: 1 bytes follow its end"},
    };
    for (const Case& c : cases) {
        Bytes message = good;
        if (c.at == SIZE_MAX) {
            message.push_back(0);
        } else {
            StoreU32(&message[c.at], c.value);
        }
        standin::ModelBuilder model;
        Result<ImportReply> reply = DecodeImportReply(message, model.model());
        ASSERT_FALSE(reply.ok()) << c.name;
        EXPECT_NE(reply.message().find(c.messagePart), std::string::npos)
            << c.name << ": " << reply.message();
        EXPECT_TRUE(IsEmpty(model.model())) << c.name;
    }
}

TEST(ImportWire, AModelWithoutItsSummaryIsRefused) {
    standin::ModelBuilder builder;
    standin::ModelBuilder::AddVertex(builder.AddMesh("A", -1), 1, 0, 0, 0, 0);
    const Bytes good = EncodeImportedModel(builder.model(), {1, 2, {}});
    standin::ModelBuilder withoutFiles;
    const Result<ImportReply> noFiles =
        DecodeImportReply(Bytes(good.begin(), good.end() - 4), withoutFiles.model());
    ASSERT_FALSE(noFiles.ok());
    EXPECT_EQ(noFiles.message(), "malformed reply at byte 65: it ends before the file count");
    EXPECT_TRUE(IsEmpty(withoutFiles.model()));
    for (std::size_t cut : {8, 12}) {
        standin::ModelBuilder model;
        Result<ImportReply> reply = DecodeImportReply(
            Bytes(good.begin(), good.end() - static_cast<std::ptrdiff_t>(cut)), model.model());
        ASSERT_FALSE(reply.ok()) << cut;
        EXPECT_EQ(reply.message(),
                  "malformed reply at byte 57: it ends before the counts of dropped points and "
                  "lines");
        EXPECT_TRUE(IsEmpty(model.model())) << cut;
    }
}

// A lie that the bytes could cover, when the materials come first: the mesh that
// follows is what runs short, and nothing of the materials already read is kept.
TEST(ImportWire, ARefusalLateInTheMessageKeepsNothingOfItsStart) {
    Bytes message = AwkwardMessage();
    message.resize(message.size() - 1);
    standin::ModelBuilder model;
    ASSERT_FALSE(DecodeImportReply(message, model.model()).ok());
    EXPECT_TRUE(IsEmpty(model.model()));
}

}  // namespace

}  // namespace cmp
