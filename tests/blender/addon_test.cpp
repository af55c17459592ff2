// The Blender add-on in real Blender (tests/blender/addon_session.py): installed from its
// zip as a user installs it, a ship exported through File > Export and checked triangle
// by triangle against Blender's own evaluated geometry, the file compared byte for byte
// with modelhost's on the same model file, imported back through File > Import, and
// every way the export can fail reported, with nothing left behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "tests/blender/scene_check.h"
#include "tests/support/file_contents.h"
#include "tests/support/scratch_folder.h"
#include "utf/utf.h"

namespace cmp {

namespace {

namespace fs = std::filesystem;

class BlenderAddOn : public testing::Test {
  protected:
    // One Blender session for all: it takes a few seconds.
    static void SetUpTestSuite() {
        folder_ = std::make_unique<ScratchFolder>(ScratchFolder::Enter::No, "blender-addon");
        const fs::path root = folder_->GetPath();
        for (const char* sub : {"out", "tmp", "user"}) {
            fs::create_directories(root / sub);
        }
        // A user folder of the session's own, so that no real user's add-ons are touched;
        // a temporary folder of its own, so that whatever the add-on leaves there shows.
        const std::string environment = "TMPDIR='" + (root / "tmp").string() +
                                        "' BLENDER_USER_SCRIPTS='" + (root / "user").string() +
                                        "' BLENDER_USER_CONFIG='" +
                                        (root / "user" / "config").string() + "'";
        RunBlenderScript("addon_session.py",
                         std::string("'") + ADDON_ZIP + "' '" + MODELHOST_PATH + "' '" +
                             (root / "out").string() + "'",
                         root / "blender.log", environment);
        std::ifstream in(root / "out" / "session.json");
        session_ = nlohmann::json::parse(in);
    }
    static void TearDownTestSuite() { folder_.reset(); }

    static fs::path Out(const std::string& name) { return folder_->GetPath() / "out" / name; }

    static StoredModel ReadWritten(const fs::path& path) {
        NodeTree tree;
        if (Status read = ReadUtfFile(ReadWholeFileBytes(path), tree); !read) {
            ADD_FAILURE() << path << ": " << read.message();
            return {};
        }
        Result<StoredModel> model = ReadStoredModel(tree);
        EXPECT_TRUE(model) << model.message();
        return model ? model.value() : StoredModel{};
    }

    static inline std::unique_ptr<ScratchFolder> folder_;
    static inline nlohmann::json session_;
};

using Reports = std::vector<std::pair<std::string, std::string>>;

Reports ReportsOf(const nlohmann::json& call) {
    Reports reports;
    for (const nlohmann::json& report : call["reports"]) {
        reports.emplace_back(report[0], report[1]);
    }
    return reports;
}

TEST_F(BlenderAddOn, IsInstalledFromItsZipWithTheProjectsVersion) {
    EXPECT_EQ(session_["bl_info"]["name"], "Quorvane CMP Exporter (.cmp)");
    const std::vector<int> version = session_["bl_info"]["version"];
    std::string text;
    for (int part : version) {
        text += (text.empty() ? "" : ".") + std::to_string(part);
    }
    EXPECT_EQ(text, PROJECT_VERSION);
}

TEST_F(BlenderAddOn, ExportsEveryTriangleAsBlenderShowsIt) {
    const nlohmann::json& exported = session_["export"];
    EXPECT_EQ(exported["result"], nlohmann::json::array({"FINISHED"}));
    const Reports reports = ReportsOf(exported);
    ASSERT_EQ(reports.size(), 1u) << exported.dump();
    EXPECT_EQ(reports[0].first, "INFO");
    EXPECT_EQ(reports[0].second.rfind(
                  "Exported ship.cmp: 10 geometry meshes, 1 Fixed hardpoint, 1 Revolute "
                  "hardpoint, 0 left out; size ",
                  0),
              0u)
        << reports[0].second;
    EXPECT_EQ(exported["leftovers"], nlohmann::json::array());

    const Scene scene = ReadScene(Out("ship.json"));
    const StoredModel model = ReadWritten(Out("ship.cmp"));
    const double tolerance = 1e-5 * scene.extent + 1e-7;
    ExpectSameTriangles(scene.triangles, FileTriangles(model), tolerance);
    ASSERT_EQ(model.hardpoints.size(), scene.hardpoints.size());
    for (std::size_t i = 0; i < scene.hardpoints.size(); ++i) {
        EXPECT_EQ(model.hardpoints[i].name, scene.hardpoints[i].name);
        EXPECT_TRUE(
            Near(ToPoint(model.hardpoints[i].position), scene.hardpoints[i].centre, tolerance))
            << scene.hardpoints[i].name;
    }
}

// The add-on adds nothing of its own to the file: it is modelhost's for the model file the
// add-on writes, named after the active object.
TEST_F(BlenderAddOn, TheFileIsModelhostsOwnForTheSameModelFile) {
    const Export direct = ExportWithModelHost(Out("ship.glb"), "--first Hull");
    ASSERT_EQ(direct.status, 0) << direct.errors;
    const Bytes written = ReadWholeFileBytes(Out("ship.cmp"));
    EXPECT_TRUE(
        std::equal(direct.bytes.begin(), direct.bytes.end(), written.begin(), written.end()));
}

TEST_F(BlenderAddOn, ImportGivesBackTheStoredTrianglesAndHardpoints) {
    const nlohmann::json& imported = session_["import"];
    EXPECT_EQ(imported["result"], nlohmann::json::array({"FINISHED"}));
    EXPECT_EQ(ReportsOf(imported), (Reports{{"INFO", "Imported ship.cmp: 1 mesh, 2 hardpoints"}}));
    EXPECT_EQ(imported["leftovers"], nlohmann::json::array());

    const StoredModel model = ReadWritten(Out("ship.cmp"));
    const Scene back = ReadScene(Out("imported.json"));
    const double tolerance = 1e-5 * back.extent + 1e-7;
    // The stored triangles come back as Blender shows them; materials come back named by
    // their identifiers only, which the file keeps instead of names.
    std::vector<Triangle> stored = FileTriangles(model);
    for (Triangle& triangle : stored) {
        triangle.material.reset();
    }
    ExpectSameTriangles(stored, back.triangles, tolerance);

    const nlohmann::json& hardpoints = session_["imported hardpoints"];
    ASSERT_EQ(hardpoints.size(), model.hardpoints.size());
    for (const StoredHardpoint& stored : model.hardpoints) {
        // Named as an export reads a hardpoint, so that exporting them again keeps them.
        const std::string kind = stored.kind == HardpointKind::Fixed ? "Fixed" : "Revolute";
        const auto found = std::find_if(
            hardpoints.begin(), hardpoints.end(),
            [&](const nlohmann::json& h) { return h["name"] == "Hp_" + kind + "_" + stored.name; });
        ASSERT_NE(found, hardpoints.end()) << stored.name;
        EXPECT_EQ((*found)["kind"], kind);
        EXPECT_EQ((*found)["display"], "ARROWS");
        EXPECT_TRUE(Near(BlenderToFile((*found)["location"]), ToPoint(stored.position), tolerance))
            << stored.name;
    }
}

// A file imported and exported again is the same model: its triangles with their
// materials (the scene still has the materials' names), its hardpoints and its name.
TEST_F(BlenderAddOn, ImportThenExportKeepsTheModel) {
    EXPECT_EQ(session_["export again"]["result"], nlohmann::json::array({"FINISHED"}));
    const StoredModel first = ReadWritten(Out("ship.cmp"));
    const StoredModel again = ReadWritten(Out("again.cmp"));
    const Scene scene = ReadScene(Out("ship.json"));
    ExpectSameTriangles(FileTriangles(first), FileTriangles(again), 1e-5 * scene.extent + 1e-7);
    EXPECT_EQ(again.entries, first.entries);
    ASSERT_EQ(again.hardpoints.size(), first.hardpoints.size());
    for (std::size_t i = 0; i < first.hardpoints.size(); ++i) {
        EXPECT_EQ(again.hardpoints[i].name, first.hardpoints[i].name);
        EXPECT_EQ(again.hardpoints[i].kind, first.hardpoints[i].kind);
        EXPECT_TRUE(Near(ToPoint(again.hardpoints[i].position),
                         ToPoint(first.hardpoints[i].position), 1e-6))
            << first.hardpoints[i].name;
    }
    // Drawn at a tenth of the ship's length (about 9 m), whatever the scale above them.
    for (const nlohmann::json& hardpoint : session_["imported hardpoints"]) {
        EXPECT_NEAR(hardpoint["drawn"].get<double>(), 0.9, 0.2) << hardpoint["name"];
    }
}

// Each failure reaches the user as the plug-in's or modelhost's own words, never as a
// traceback; no file is written, the user's file stays, no temporary folder is left.
TEST_F(BlenderAddOn, EveryFailureIsReportedAndLeavesNothingBehind) {
    const std::string cases = Out("cases").string();
    // The add-on looks in its own bin folder first, where Blender unpacked its zip.
    const std::string bundled =
        (fs::canonical(folder_->GetPath()) / "user" / "addons" / "cmpexport" / "bin" / "modelhost")
            .string();
    struct Case {
        const char* name;
        const char* result;
        Reports reports;
    };
    const std::vector<Case> table = {
        {"left out",
         "FINISHED",
         {{"WARNING",
           "mesh 'Hp_Gun01' is left out of the export: name begins with Hp but names neither "
           "Fixed nor Revolute"},
          {"WARNING", "Exported leftout.cmp with 1 warning (see Info)"}}},
        {"over the limits",
         "RAISED",
         {{"ERROR",
           "The plug-in refuses the model, nothing was written: the model's meshes have 45000 "
           "triangles in all (135000 corners; mesh \"Plate\" passes the limit); at most 21845 "
           "triangles (65535 corners) fit"}}},
        {"over the vertex limit",
         "RAISED",
         {{"ERROR",
           "The model is too large for the file format, nothing was written: the objects "
           "have 90,601 vertices in Blender, and the file splits them where texture seams and "
           "shading "
           "part faces; at most 65,535 fit in all ('Plate' has the most)"}}},
        {"not finite",
         "RAISED",
         {{"ERROR",
           "The plug-in refuses the model, nothing was written: mesh \"Hull\" has a "
           "position or texture coordinate that is not a finite number (vertex 0)"}}},
        {"no modelhost",
         "RAISED",
         {{"ERROR", "modelhost not found: looked at " + bundled +
                        ", /nonexistent/modelhost, PATH; set its path in the add-on's "
                        "preferences (Edit > Preferences > Add-ons > Quorvane CMP Exporter)"}}},
        {"missing folder",
         "RAISED",
         {{"ERROR", "The folder " + cases + "/missing does not exist; nothing was exported"}}},
        {"a folder in the way",
         "RAISED",
         {{"ERROR", cases + "/taken.cmp is a folder; choose a file name"}}},
        {"relative to an unsaved blend file",
         "RAISED",
         {{"ERROR",
           "//unsaved.cmp is relative to the blend file, which has not been saved yet: save it "
           "first, or choose a full path"}}},
        {"nothing to export", "RAISED", {{"ERROR", "Nothing to export: no object has faces"}}},
        {"import refused",
         "RAISED",
         {{"ERROR", cases + "/garbage.cmp: not a readable tree file: the file is 26 bytes long, "
                            "shorter than the 56-byte header (at byte 26)"}}},
    };
    for (const Case& c : table) {
        const nlohmann::json& call = session_["cases"][c.name];
        EXPECT_EQ(call["result"], nlohmann::json::array({c.result})) << c.name;
        EXPECT_EQ(ReportsOf(call), c.reports) << c.name;
        EXPECT_EQ(call["leftovers"], nlohmann::json::array()) << c.name;
    }
    // Only the exports that succeeded wrote a file; the user's file is as it was.
    EXPECT_EQ(session_["cases"]["files"],
              nlohmann::json::array({"edited.cmp", "garbage.cmp", "kept.cmp", "leftout.cmp",
                                     "named-active.cmp", "named-first.cmp", "relative.cmp",
                                     "taken.cmp"}));
    EXPECT_EQ(ReadWholeFile(Out("cases/kept.cmp")), "the user's file");
}

// What a Blender user does without thinking: a path relative to the working folder, an
// object still in Edit Mode (exported as edited, and left in Edit Mode), a hardpoint that
// is active or first by name (the model is still named after the hull).
TEST_F(BlenderAddOn, EverydayHabitsExportWhatTheUserMeant) {
    const nlohmann::json& cases = session_["cases"];
    EXPECT_EQ(cases["relative path"]["result"], nlohmann::json::array({"FINISHED"}));
    const nlohmann::json& edited = cases["edit mode"];
    EXPECT_EQ(edited["result"], nlohmann::json::array({"FINISHED"}));
    const Reports reports = ReportsOf(edited);
    ASSERT_FALSE(reports.empty());
    EXPECT_NE(reports.back().second.find("size 4.00 x 4.00 x 4.00 m"), std::string::npos)
        << reports.back().second;
    EXPECT_EQ(edited["mode after"], "EDIT");
    for (const char* naming : {"named ACTIVE", "named FIRST"}) {
        EXPECT_EQ(cases[naming]["result"], nlohmann::json::array({"FINISHED"})) << naming;
        EXPECT_EQ(cases[naming]["after the hull"], true) << naming;
    }
}

}  // namespace

}  // namespace cmp
