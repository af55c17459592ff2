// The add-on's scene gathering against the habits of modellers, in real Blender
// (tests/blender/habits_session.py): hardpoints marked by empties and by meshes without
// faces, flat and smooth shading, collection and Geometry Nodes instances, a unit scale,
// hidden objects and a UV map for rendering. Each scene's model file is exported by
// modelhost and checked against what Blender shows.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "tests/blender/scene_check.h"
#include "tests/support/scratch_folder.h"

namespace cmp {

namespace {

namespace fs = std::filesystem;

class BlenderHabits : public testing::Test {
  protected:
    // One Blender session for all.
    static void SetUpTestSuite() {
        folder_ = std::make_unique<ScratchFolder>(ScratchFolder::Enter::No, "blender-habits");
        const fs::path root = folder_->GetPath();
        fs::create_directories(root / "out");
        fs::create_directories(root / "user");
        const std::string environment = "BLENDER_USER_SCRIPTS='" + (root / "user").string() +
                                        "' BLENDER_USER_CONFIG='" +
                                        (root / "user" / "config").string() + "'";
        RunBlenderScript("habits_session.py",
                         std::string("'") + ADDON_ZIP + "' '" + (root / "out").string() + "'",
                         root / "blender.log", environment);
        std::ifstream in(root / "out" / "session.json");
        session_ = nlohmann::json::parse(in);
    }
    static void TearDownTestSuite() { folder_.reset(); }

    static fs::path Out(const std::string& name) { return folder_->GetPath() / "out" / name; }

    static inline std::unique_ptr<ScratchFolder> folder_;
    static inline nlohmann::json session_;
};

double Tolerance(const Scene& scene) {
    return 1e-5 * scene.extent + 1e-7;
}

// Every scene: its triangles in place, facing the way Blender shows them, with the texture
// coordinates Blender renders with; every hardpoint Blender holds at its place in the
// file (found by place: instances made real by Blender carry names of Blender's making).
TEST_F(BlenderHabits, EachSceneIsWrittenAsBlenderShowsIt) {
    // The models that would be named after a hardpoint are named after their hull.
    const struct {
        std::string scene;
        std::string arguments;
    } table[] = {{"hardpoints", "--first Hull"},
                 {"shading", ""},
                 {"instances", ""},
                 {"units", "--first Hull"},
                 {"visible", ""}};
    for (const auto& [name, arguments] : table) {
        SCOPED_TRACE(name);
        const Scene scene = ReadScene(Out(name + ".json"));
        const Export exported = ExportWithModelHost(Out(name + ".glb"), arguments);
        ASSERT_EQ(exported.status, 0) << exported.errors;
        EXPECT_EQ(exported.errors, "");
        ExpectSameTriangles(scene.triangles, FileTriangles(exported.model), Tolerance(scene));
        ASSERT_EQ(exported.model.hardpoints.size(), scene.hardpoints.size());
        for (const SceneHardpoint& wanted : scene.hardpoints) {
            bool found = false;
            for (const StoredHardpoint& stored : exported.model.hardpoints) {
                found = found || Near(ToPoint(stored.position), wanted.centre, Tolerance(scene));
            }
            EXPECT_TRUE(found) << wanted.name;
        }
    }
}

// The names the gathering gives (the file's meshes, by name) and the hardpoints it could not
// write, for the export to warn of.
TEST_F(BlenderHabits, NamesEveryPartAndEveryHardpointItCannotWrite) {
    using Names = std::vector<std::string>;
    const struct {
        const char* scene;
        Names objects;
        Names notWritten;
    } table[] = {
        {"hardpoints",
         {"Hp_Fixed_Dot", "Hp_Fixed_Gun", "Hp_Fixed_Pair", "Hp_Revolute_Ring", "Hp_Revolute_Turret",
          "Hull"},
         {"Hp_Fixed_Cam"}},
        {"instances",
         {"Barrel_TurretA", "Barrel_TurretB", "Hp_Fixed_Gun_TurretA", "Hp_Fixed_Gun_TurretB",
          "Scatter", "Scatter_instance", "Scatter_instance_2", "Scatter_instance_3",
          "Scatter_instance_4"},
         {}},
        {"visible", {"Shown"}, {}},
        {"all", {"Disabled", "HiddenEye", "Shown", "Tucked"}, {}},
    };
    for (const auto& row : table) {
        const nlohmann::json& written = session_[row.scene];
        EXPECT_EQ(written["objects"].get<Names>(), row.objects) << row.scene;
        EXPECT_EQ(written["hardpoints not written"].get<Names>(), row.notWritten) << row.scene;
    }
    // Instanced hardpoints keep their kind and get their instancer's name.
    const Export instances = ExportWithModelHost(Out("instances.glb"));
    ASSERT_EQ(instances.model.hardpoints.size(), 2u);
    EXPECT_EQ(instances.model.hardpoints[0].name, "Gun_TurretA");
    EXPECT_EQ(instances.model.hardpoints[1].name, "Gun_TurretB");
}

// The file's vertex normals, which the plug-in makes from the faces round each vertex,
// against Blender's corner normals. A corner Blender shades as its face (a flat face, a
// face alone between sharp edges) must get that normal up to the rounding of positions
// in single precision; a normal averaged across the edge instead is tens of degrees off.
// On smooth faces Blender weights each face by its angle at the corner and the plug-in
// counts each triangle once: where a quad gives the corner one triangle and its neighbour
// two, the normal leans up to a third of the way towards the neighbour, and the
// neighbouring faces of these 10- to 32-segment primitives are at most 36 degrees apart.
TEST_F(BlenderHabits, CornersAreShadedAsBlenderShadesThem) {
    const Scene scene = ReadScene(Out("shading.json"));
    const Export exported = ExportWithModelHost(Out("shading.glb"));
    ASSERT_EQ(exported.status, 0) << exported.errors;
    const ShadingTally tally =
        CompareNormals(scene.triangles, FileTriangles(exported.model), Tolerance(scene));
    const double degree = M_PI / 180;
    EXPECT_GT(tally.flatCorners, 0u);
    EXPECT_GT(tally.smoothCorners, 0u);
    EXPECT_LT(tally.flatWorst, 0.01 * degree);
    EXPECT_LT(tally.smoothWorst, 12 * degree);
}

// A unit scale of 0.01 makes 2000 units 20 metres: the file holds 20/92 across.
TEST_F(BlenderHabits, TheScenesUnitScaleMakesMetres) {
    const Export exported = ExportWithModelHost(Out("units.glb"));
    ASSERT_EQ(exported.status, 0) << exported.errors;
    float low = INFINITY, high = -INFINITY;
    for (const StoredMesh& mesh : exported.model.meshes) {
        for (const StoredVertex& vertex : mesh.vertices) {
            low = std::min(low, vertex.position[0]);
            high = std::max(high, vertex.position[0]);
        }
    }
    EXPECT_NEAR(high - low, 20.0 / 92.0, 1e-5);
}

}  // namespace

}  // namespace cmp
