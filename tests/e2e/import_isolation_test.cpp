// Import in a child process, against files that really crash, hang or exhaust the
// importer (Assimp 5.2): the host gets a message naming the file and the reason, keeps
// running, and no child outlives the call.
#include "modelhost/import_model.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cerrno>
#include <chrono>

#include "core/little_endian.h"
#include "tests/e2e/host_model_reader.h"
#include "tests/e2e/model_files.h"
#include "tests/support/file_contents.h"
#include "tests/support/model_builder.h"
#include "tests/support/scratch_folder.h"

namespace cmp {

namespace {

using namespace std::chrono_literals;

bool NoChildLeft() {
    return waitpid(-1, nullptr, WNOHANG) == -1 && errno == ECHILD;
}

struct Imported {
    Status status;
    ReadModelValues model;
    ImportSummary summary;
};

Imported ImportIsolated(const std::string& path, const ImportLimits& limits = {}) {
    standin::ModelBuilder builder;
    Result<ImportSummary> imported = ImportModelIsolated(path, builder.model(), limits);
    return {imported.status(), ReadModelThroughFunctions(builder.model()),
            imported ? imported.value() : ImportSummary{}};
}

TEST(ImportIsolation, AGoodFileGivesTheSameModelAsAnImportInProcess) {
    for (const char* example : {"ship.obj", "ship.gltf"}) {
        const std::string path = std::string(EXAMPLES_DIR) + "/" + example;
        standin::ModelBuilder directModel;
        const Result<ImportSummary> direct = ImportModel(path, directModel.model());
        ASSERT_TRUE(direct.ok());
        Imported isolated = ImportIsolated(path);
        ASSERT_TRUE(isolated.status.ok()) << isolated.status.message();
        EXPECT_EQ(isolated.model, ReadModelThroughFunctions(directModel.model())) << example;
        EXPECT_EQ(isolated.model.meshes.size(), 7u);
        EXPECT_EQ(isolated.summary, direct.value()) << "the same files read, nothing dropped";
        EXPECT_EQ(isolated.summary.droppedPoints + isolated.summary.droppedLines, 0u);
    }
    EXPECT_TRUE(NoChildLeft());
}

// What the child dropped reaches the host with the model, which then can say why it
// is empty.
TEST(ImportIsolation, TheDroppedPointsAndLinesComeBackWithTheModel) {
    ScratchFolder scratch;
    WriteWholeFile(scratch / "rig.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nl 1 2 3\np 1 2\n");
    Imported isolated = ImportIsolated(scratch / "rig.obj");
    ASSERT_TRUE(isolated.status.ok()) << isolated.status.message();
    EXPECT_TRUE(isolated.model.meshes.empty());
    EXPECT_EQ(isolated.summary, (ImportSummary{2, 2, {scratch / "rig.obj"}}));
}

struct BadFile {
    const char* name;
    const char* file;
    std::string content;
    ImportLimits limits;
    std::string message;  // after "cannot import '<path>': "; empty: the importer's own
};

// The bad file ends in one message that names it and says why; the model stays empty,
// no child is left, and the host goes on to import a good file.
void ExpectRefused(const BadFile& c) {
    ScratchFolder scratch;
    WriteWholeFile(scratch / c.file, c.content);
    const std::string path = scratch / c.file;
    const auto started = std::chrono::steady_clock::now();
    Imported imported = ImportIsolated(path, c.limits);
    const auto took = std::chrono::steady_clock::now() - started;

    ASSERT_FALSE(imported.status.ok()) << c.name;
    const std::string prefix = "cannot import '" + path + "': ";
    EXPECT_EQ(imported.status.message().rfind(prefix, 0), 0u)
        << c.name << ": " << imported.status.message();
    if (!c.message.empty()) {
        EXPECT_EQ(imported.status.message(), prefix + c.message) << c.name;
    } else {
        EXPECT_EQ(imported.status.message().find("the importer"), std::string::npos)
            << c.name << ": " << imported.status.message();
    }
    EXPECT_TRUE(imported.model.meshes.empty() && imported.model.materials.empty()) << c.name;
    EXPECT_LT(took, 20s) << c.name;
    EXPECT_TRUE(NoChildLeft()) << c.name;

    Imported after = ImportIsolated(std::string(EXAMPLES_DIR) + "/ship.obj");
    EXPECT_TRUE(after.status.ok()) << c.name << ": " << after.status.message();
}

TEST(ImportIsolation, FilesThatBreakTheImporterEndInAMessage) {
    const BadFile cases[] = {
        {"crash",
         "cut.ply",
         TruncatedBinaryPly(),
         {},
         "the importer crashed (signal 11, Segmentation fault)"},
        {"abort",
         "parts.3mf",
         PackageWithoutItsModel(),
         {},
         "the importer crashed (signal 6, Aborted)"},
        {"hang",
         "endless.ply",
         EndlessAsciiPly(),
         {1s, std::uint64_t{4} << 30},
         "the importer took longer than 1 s"},
        {"the importer's own words", "garbage.gltf", "\x01\x02 not a model", {}, ""},
    };
    for (const BadFile& c : cases) {
        ExpectRefused(c);
    }
}

TEST(ImportIsolation, AFileThatExhaustsMemoryEndsInAMessage) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "under AddressSanitizer a failed operator new ends the process with the "
                    "sanitizer's report instead of throwing std::bad_alloc";
#endif
    ExpectRefused({"out of memory",
                   "vast.ply",
                   VastAsciiPly(),
                   {60s, std::uint64_t{256} << 20},
                   "the importer ran out of memory"});
}

TEST(ImportIsolation, TimeLimitsReadAsPeopleSayThem) {
    EXPECT_EQ(DescribeTimeLimit(60s), "60 s");
    EXPECT_EQ(DescribeTimeLimit(1500ms), "1500 ms");
}

}  // namespace

}  // namespace cmp
