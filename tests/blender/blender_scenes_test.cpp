// From the modeller's side: scenes built in Blender itself (tests/blender/make_scenes.py),
// exported by Blender as glTF, FBX, OBJ and Collada, each exported by modelhost, and every
// triangle of the written file checked against what Blender holds: its place, the way it
// faces, its texture coordinates and its material; every hardpoint at its mesh's centre.
//
// CMPEXPORT_BLENDER_RANDOM=N checks N random scenes more, from a seed that is printed
// (CMPEXPORT_BLENDER_SEED=S repeats a run).
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "tests/blender/scene_check.h"
#include "tests/support/file_contents.h"
#include "tests/support/scratch_folder.h"

namespace cmp {

namespace {

namespace fs = std::filesystem;

constexpr const char* Formats[] = {"glb", "fbx", "obj", "dae"};

class BlenderScenes : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        folder_ = std::make_unique<ScratchFolder>(ScratchFolder::Enter::No, "blender-scenes");
        const std::vector<std::string> scenes = BlenderSceneArguments();
        std::string arguments = "'" + folder_->GetPath().string() + "'";
        for (const std::string& scene : scenes) {
            arguments += " " + scene;
        }
        RunBlenderScript("make_scenes.py", arguments, folder_->GetPath() / "blender.log");
        for (const std::string& scene : scenes) {
            const std::string name = scene == "ship" ? scene : "random" + scene.substr(7);
            names_.push_back(name);
        }
    }
    static void TearDownTestSuite() { folder_.reset(); }

    static fs::path PathOf(const std::string& scene, const std::string& extension) {
        return folder_->GetPath() / (scene + "." + extension);
    }

    static inline std::unique_ptr<ScratchFolder> folder_;
    static inline std::vector<std::string> names_;
};

TEST_F(BlenderScenes, EveryTriangleIsWhereBlenderHasItFacingTheSameWay) {
    for (const std::string& name : names_) {
        const Scene scene = ReadScene(PathOf(name, "json"));
        const double tolerance = 1e-5 * scene.extent + 1e-7;
        for (const char* format : Formats) {
            SCOPED_TRACE(name + "." + format);
            const Export exported = ExportWithModelHost(PathOf(name, format));
            ASSERT_EQ(exported.status, 0) << exported.errors;
            ExpectSameTriangles(scene.triangles, FileTriangles(exported.model), tolerance);

            ASSERT_EQ(exported.model.hardpoints.size(), scene.hardpoints.size());
            for (const SceneHardpoint& wanted : scene.hardpoints) {
                const auto found =
                    std::find_if(exported.model.hardpoints.begin(), exported.model.hardpoints.end(),
                                 [&](const StoredHardpoint& h) { return h.name == wanted.name; });
                ASSERT_NE(found, exported.model.hardpoints.end()) << wanted.name;
                EXPECT_TRUE(Near(ToPoint(found->position), wanted.centre, tolerance))
                    << wanted.name << " is not at its mesh's centre";
            }
        }
    }
}

// Blender's Collada lists objects by name, so a hardpoint mesh comes first; the model is
// then named after it, with a warning, unless --first names it after another mesh.
TEST_F(BlenderScenes, TheModelsNameIsToldAndChosenWithFirst) {
    ScratchFolder work(ScratchFolder::Enter::Yes, "blender-first");
    const std::string model = PathOf("ship", "dae").string();
    const std::string host = std::string("env -u DISPLAY -u WAYLAND_DISPLAY ") + MODELHOST_PATH;
    ASSERT_EQ(RunShell(host + " --list " + model + " >out.txt 2>err.txt"), 0);
    EXPECT_NE(ReadWholeFile("out.txt").find(
                  "named after the first mesh 'HpMount': HpMount.3db, HpMount.lod0.vms\n"),
              std::string::npos)
        << ReadWholeFile("out.txt");
    EXPECT_NE(ReadWholeFile("err.txt").find("a hardpoint mesh"), std::string::npos);

    ASSERT_EQ(RunShell(host + " --first Hull --list " + model + " >out.txt 2>err.txt"), 0);
    EXPECT_NE(ReadWholeFile("out.txt").find(
                  "named after the first mesh 'Hull': Hull.3db, Hull.lod0.vms\n"),
              std::string::npos);
    EXPECT_EQ(ReadWholeFile("err.txt"), "");

    EXPECT_EQ(RunShell(host + " --first Nose --list " + model + " >out.txt 2>err.txt"), 2);
    EXPECT_NE(ReadWholeFile("err.txt").find("no mesh 'Nose'; its meshes are 'HpMount', "),
              std::string::npos)
        << ReadWholeFile("err.txt");
}

// Blender writes FBX in centimetres with a unit scale; read with it, every format gives
// the same size.
TEST_F(BlenderScenes, EveryFormatGivesTheSameSize) {
    ScratchFolder work(ScratchFolder::Enter::Yes, "blender-size");
    std::vector<std::string> sizes;
    for (const char* format : Formats) {
        ASSERT_EQ(RunShell(std::string(MODELHOST_PATH) + " --list " +
                           PathOf("ship", format).string() + " >out.txt 2>/dev/null"),
                  0);
        const std::string out = ReadWholeFile("out.txt");
        const std::size_t start = out.find("\nsize: ");
        ASSERT_NE(start, std::string::npos) << out;
        sizes.push_back(out.substr(start, out.find('\n', start + 1) - start));
    }
    for (const std::string& size : sizes) {
        EXPECT_EQ(size, sizes.front());
    }
}

}  // namespace

}  // namespace cmp
