#include "ui/result_dialog.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "mesh/extract.h"
#include "mesh/mesh_data_stream.h"
#include "standin/model_builder.h"
#include "tests/support/file_contents.h"
#include "tests/support/scratch_folder.h"
#include "utf/utf_reader.h"

namespace cmp {

namespace {

namespace fs = std::filesystem;
using test::ReadWholeFile;
using test::ScratchFolder;

// Runs the start-up like a toolkit would and remembers what the view got.
class ShowingInterface : public UserInterface {
  public:
    void ShowMessage(const std::string&, const std::string&, std::uint32_t) override { ++messages; }
    std::optional<std::string> AskSavePath(const SaveDialogOptions&) override { return {}; }
    void RunResultDialog(const std::string& title,
                         const std::function<const NodeTree*()>& initialise) override {
        caption = title;
        shown = initialise();
        shownNodes = shown ? shown->Size() : 0;
        tempGoneWhenShown = !fs::exists(TempStreamFileName);
    }

    std::string caption;
    const NodeTree* shown = nullptr;
    std::size_t shownNodes = 0;
    bool tempGoneWhenShown = false;
    int messages = 0;
};

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

struct DialogRun {
    ShowingInterface ui;
    ResultDialog dialog{ui};
};

TEST(ResultDialog, BuildsAndWritesTheTreeBeforeShowingIt) {
    ScratchFolder scratch;
    MeshList meshes = ShipMeshes();
    ASSERT_TRUE(WriteMeshDataStream(meshes).ok());

    DialogRun run;
    run.dialog.SetMeshList(&meshes);
    run.dialog.SetOutputPath((scratch / "ship.cmp").c_str());
    run.dialog.DoModal();

    EXPECT_EQ(run.ui.caption, "Quorvane CMP Exporter");
    EXPECT_EQ(run.dialog.Outcome(), ResultOutcome::Written);
    EXPECT_TRUE(run.ui.tempGoneWhenShown);
    ASSERT_NE(run.ui.shown, nullptr);
    // The file holds exactly the tree the view shows.
    NodeTree reread;
    UtfReadError error;
    std::string bytes = ReadWholeFile(scratch / "ship.cmp");
    ASSERT_TRUE(ReadUtfFile(Bytes(bytes.begin(), bytes.end()), reread, error)) << error.message;
    EXPECT_EQ(reread.Size(), run.ui.shownNodes);
    EXPECT_GT(run.ui.shownNodes, 10u);
    EXPECT_EQ(run.ui.messages, 0) << "the dialog reports nothing itself";
}

// Every way the start-up can fail is recorded, with the tree still shown when built.
TEST(ResultDialog, RecordsFailuresInsteadOfShowingThem) {
    struct Case {
        const char* name;
        bool writeStream;
        std::string outputName;
        ResultOutcome outcome;
        bool treeShown;
        const char* reasonPart;
    } cases[] = {
        {"stream missing", false, "ship.cmp", ResultOutcome::ReadBackFailed, false, "___temp.vms"},
        {"folder missing", true, "missing/ship.cmp", ResultOutcome::WriteFailed, true,
         "No such file"},
        {"folder in the way", true, "taken.cmp", ResultOutcome::WriteFailed, true, ".tmp"},
    };
    for (const Case& c : cases) {
        ScratchFolder scratch;
        fs::create_directory(scratch / "taken.cmp.tmp");
        MeshList meshes = ShipMeshes();
        if (c.writeStream) {
            ASSERT_TRUE(WriteMeshDataStream(meshes).ok());
        }
        DialogRun run;
        run.dialog.SetMeshList(&meshes);
        run.dialog.SetOutputPath((scratch / c.outputName).c_str());
        run.dialog.DoModal();
        EXPECT_EQ(run.dialog.Outcome(), c.outcome) << c.name;
        EXPECT_NE(run.dialog.FailureReason().find(c.reasonPart), std::string::npos)
            << c.name << ": " << run.dialog.FailureReason();
        EXPECT_EQ(run.ui.shown != nullptr, c.treeShown) << c.name;
        EXPECT_FALSE(fs::exists(scratch / c.outputName)) << c.name;
        EXPECT_EQ(run.ui.messages, 0);
    }
}

}  // namespace

}  // namespace cmp
