// The glTF importer of the Windows build against the Assimp import on what Blender
// writes: scenes from make_scenes.py ("ship", "random:1", "random:2", and
// CMPEXPORT_BLENDER_RANDOM=N random ones more), each .glb imported by both and compared
// bit for bit: materials, mesh names, every float, every triangle, the summary.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "modelhost/gltf_import.h"
#include "modelhost/import_model.h"
#include "tests/blender/scene_check.h"
#include "tests/support/model_builder.h"
#include "tests/support/model_snapshot.h"
#include "tests/support/scratch_folder.h"

namespace cmp {

namespace {

template <class Importer>
std::pair<Result<ImportSummary>, ModelSnapshot> ImportWith(Importer importer,
                                                           const std::string& path) {
    standin::ModelBuilder builder;
    Result<ImportSummary> imported = importer(path, builder.model());
    return {std::move(imported), TakeSnapshot(builder.model())};
}

TEST(BlenderGltf, BothImportersGiveTheSameModelBitForBit) {
    ScratchFolder folder(ScratchFolder::Enter::No, "blender-gltf");
    const std::filesystem::path root = folder.GetPath();
    std::filesystem::create_directories(root / "user");
    std::filesystem::create_directories(root / "config");
    const std::vector<std::string> scenes = BlenderSceneArguments();
    std::string arguments = "'" + root.string() + "'";
    for (const std::string& scene : scenes) {
        arguments += " " + scene;
    }
    RunBlenderScript("make_scenes.py", arguments, root / "blender.log",
                     "BLENDER_USER_SCRIPTS='" + (root / "user").string() +
                         "' BLENDER_USER_CONFIG='" + (root / "config").string() + "'");
    for (const std::string& scene : scenes) {
        const std::string name = scene == "ship" ? scene : "random" + scene.substr(7);
        const std::string path = (root / (name + ".glb")).string();
        SCOPED_TRACE(path);
        const auto [assimp, assimpModel] = ImportWith(ImportModel, path);
        const auto [ours, ourModel] = ImportWith(ImportGltfModel, path);
        ASSERT_TRUE(assimp.ok()) << assimp.message();
        ASSERT_TRUE(ours.ok()) << ours.message();
        EXPECT_FALSE(ourModel.meshes.empty());
        EXPECT_EQ(FirstDifference(assimpModel, ourModel), "");
        EXPECT_EQ(assimp.value(), ours.value());
    }
}

}  // namespace

}  // namespace cmp
