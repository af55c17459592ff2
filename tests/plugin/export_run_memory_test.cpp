// Every way a run ends after the meshes were extracted frees them. A counting global
// allocator sees what is still held once RunExport has returned: a leaked mesh list of
// this size would show as megabytes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "plugin/plugin.h"
#include "tests/plugin/plug_in_test_support.h"
#include "tests/plugin/recording_interface.h"
#include "tests/support/counting_allocator.h"

namespace cmp {
namespace {

namespace fs = std::filesystem;

constexpr int HullVertices = 60000;

// One large hull (about 2.5 MB once extracted, with its normals) and a hardpoint.
void BuildLargeShip(ztModel model, bool badIndex) {
    ztMesh hull = ztBuild_AddMesh(model, "Hull", -1);
    for (int i = 0; i < HullVertices; ++i) {
        ztBuild_AddVertex(hull, static_cast<float>(i % 300), static_cast<float>(i / 300), 0, 0, 0);
    }
    for (int i = 0; i + 2 < HullVertices; i += 3) {
        ztBuild_AddTriangle(hull, static_cast<std::uint16_t>(i), static_cast<std::uint16_t>(i + 1),
                            static_cast<std::uint16_t>(badIndex ? HullVertices + 1 : i + 2));
    }
    ztMesh marker = ztBuild_AddMesh(model, "Hp_Fixed_HpEngine01", -1);
    ztBuild_AddVertex(marker, 0, 0, 1, 0, 0);
}

TEST(ExportRunMemory, EveryFailureAfterExtractionFreesTheMeshes) {
    struct Case {
        const char* name;
        bool badIndex;
        const char* output;
        void (*prepare)();
        bool removeStreamBeforeStartUp;
    } cases[] = {
        {"format limits", true, "ship.cmp", [] {}, false},
        {"stream not created", false, "ship.cmp", [] { fs::create_directory("___temp.vms"); },
         false},
        {"stream on a full disk", false, "ship.cmp",
         [] { fs::create_symlink("/dev/full", "___temp.vms"); }, false},
        {"stream not read back", false, "ship.cmp", [] {}, true},
        {"tree file not written", false, "missing/ship.cmp", [] {}, false},
    };
    for (const Case& c : cases) {
        ScratchFolder scratch;
        c.prepare();
        RecordingInterface ui;
        ui.messages.reserve(4);
        ui.saveAnswer = scratch / c.output;
        if (c.removeStreamBeforeStartUp) {
            ui.beforeStartUp = [] { fs::remove(TempStreamFileName); };
        }
        ztModel model = ztBuild_CreateModel();
        BuildLargeShip(model, c.badIndex);
        const std::int32_t destroyed = ztBuild_DestroyCount();

        const long long before = LiveBytes();
        ResetPeakBytes();
        EXPECT_EQ(RunExport(model, ui), -1) << c.name;
        const long long held = LiveBytes() - before;

        // The allocator saw the run's megabytes come and go: nothing escaped counting.
        EXPECT_GT(PeakBytes() - before, 1 << 20) << c.name;
        EXPECT_LT(held, 64 * 1024) << c.name << ": " << held << " bytes still held";
        if (ztBuild_DestroyCount() == destroyed) {
            ztModel_Destroy(model);
        }
        ASSERT_EQ(ui.messages.size(), 1u) << c.name;
    }
}

}  // namespace

}  // namespace cmp
