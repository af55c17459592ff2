// The result dialog's start-up step: the stream back from its file, the tree built
// around it, the tree file written; and what it says when one of them fails.
#include "plugin/plugin.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "mesh/mesh.h"
#include "tests/support/file_contents.h"
#include "tests/support/model_builder.h"
#include "tests/support/scratch_folder.h"
#include "utf/utf.h"

namespace cmp {
namespace {

namespace fs = std::filesystem;

MeshList ShipMeshes() {
    standin::ModelBuilder builder;
    std::int32_t plate = builder.AddMaterial("Plate");
    ztMesh hull = builder.AddMesh("Hull", plate);
    standin::ModelBuilder::AddVertex(hull, 0, 0, 0);
    standin::ModelBuilder::AddVertex(hull, 1, 0, 0);
    standin::ModelBuilder::AddVertex(hull, 0, 1, 0);
    standin::ModelBuilder::AddTriangle(hull, 0, 1, 2);
    ztMesh gun = builder.AddMesh("Hp_Fixed_HpWeapon01");
    standin::ModelBuilder::AddVertex(gun, 0, 0, 1);
    MeshList meshes;
    ExtractMeshes(builder.model(), meshes);
    return meshes;
}

TEST(TreeFileStep, WritesTheFileOfTheTreeItGivesAndConsumesTheStream) {
    ScratchFolder scratch;
    const MeshList meshes = ShipMeshes();
    TemporaryStream stream;
    ASSERT_TRUE(stream.Write(meshes));
    std::unique_ptr<NodeTree> shown;
    const Status outcome =
        ReadBackBuildAndWriteTreeFile(meshes, stream, scratch / "ship.cmp", shown);
    ASSERT_NE(shown, nullptr);
    EXPECT_TRUE(outcome) << outcome.message();
    EXPECT_FALSE(fs::exists(TempStreamFileName));
    // The file holds exactly the tree that is shown.
    const std::string bytes = ReadWholeFile(scratch / "ship.cmp");
    NodeTree reread;
    const Status read = ReadUtfFile(Bytes(bytes.begin(), bytes.end()), reread);
    ASSERT_TRUE(read) << read.message();
    EXPECT_EQ(reread.GetSize(), shown->GetSize());
    EXPECT_GT(shown->GetSize(), 10u);
}

// Every way the step can fail is recorded with its code and the user's text, with the
// tree still given when it was built, and no tree file written.
TEST(TreeFileStep, RecordsFailuresWithTheirCodes) {
    struct Case {
        const char* name;
        bool writeStream;
        std::string outputName;
        ErrorCode code;
        bool treeShown;
        const char* textPart;
        bool fileWasThere = false;  // the message says it is unchanged exactly then
    } cases[] = {
        {"stream missing", false, "ship.cmp", ErrorCode::CannotRead, false,
         "Could not read the mesh data back: cannot read the mesh data back from '___temp.vms'"},
        {"folder missing", true, "missing/ship.cmp", ErrorCode::CannotCreate, true,
         "missing/ship.cmp: cannot create"},
        {"file in the way", true, "taken/ship.cmp", ErrorCode::CannotCreate, true,
         "Not a directory"},
        {"read-only file", true, "kept.cmp", ErrorCode::CannotReplace, true,
         "kept.cmp': the file is read-only", true},
    };
    for (const Case& c : cases) {
        ScratchFolder scratch;
        WriteWholeFile(scratch / "taken", "mine");
        WriteWholeFile(scratch / "kept.cmp", "mine");
        fs::permissions(scratch / "kept.cmp", fs::perms::owner_read);
        const MeshList meshes = ShipMeshes();
        TemporaryStream stream;
        if (c.writeStream) {
            ASSERT_TRUE(stream.Write(meshes));
        }
        std::unique_ptr<NodeTree> shown;
        const Status outcome =
            ReadBackBuildAndWriteTreeFile(meshes, stream, scratch / c.outputName, shown);
        EXPECT_EQ(shown != nullptr, c.treeShown) << c.name;
        ASSERT_FALSE(outcome) << c.name;
        EXPECT_EQ(outcome.code(), c.code) << c.name;
        EXPECT_NE(outcome.message().find(c.textPart), std::string::npos)
            << c.name << ": " << outcome.message();
        EXPECT_EQ(outcome.message().find("already there is unchanged") != std::string::npos,
                  c.fileWasThere)
            << c.name << ": " << outcome.message();
        EXPECT_EQ(fs::exists(scratch / c.outputName), c.fileWasThere) << c.name;
        EXPECT_FALSE(fs::exists(TempStreamFileName)) << c.name;
    }
}

}  // namespace
}  // namespace cmp
