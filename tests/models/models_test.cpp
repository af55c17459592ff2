// The shared test models, exported through the Linux plug-in library: each must give a
// complete tree file, and building a model twice must give the same bytes (what the
// comparison with the Windows DLL relies on).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <ostream>
#include <set>
#include <string>

#include "tests/models/plugin_export.h"
#include "tests/support/file_contents.h"
#include "tests/support/scratch_folder.h"
#include "utf/utf.h"

namespace cmp {

// Test names and failure messages show a model by its name.
void PrintTo(const TestModel& model, std::ostream* out) {
    *out << model.name;
}

namespace {

class ModelsTest : public ::testing::TestWithParam<TestModel> {
  protected:
    // The run's temporary stream goes to the working folder.
    ScratchFolder scratch_;
    std::filesystem::path folder_ = scratch_.GetPath();
};

TEST_P(ModelsTest, ExportsToTheSameCompleteTreeFileEveryTime) {
    PlugInExporter exporter(CMPEXPORT_PLUGIN_PATH);
    ASSERT_TRUE(exporter.Loaded()) << exporter.Error();
    const std::filesystem::path first = folder_ / "first.cmp";
    const std::filesystem::path second = folder_ / "second.cmp";
    ASSERT_EQ(exporter.Export(GetParam(), first.string()), 0);
    ASSERT_EQ(exporter.Export(GetParam(), second.string()), 0);

    const Bytes bytes = ReadWholeFileBytes(first);
    NodeTree tree;
    const Status error = ReadUtfFile(bytes, tree);
    ASSERT_TRUE(error) << error.message();
    EXPECT_GE(tree.GetSize(), 16u);
    EXPECT_EQ(ReadWholeFileBytes(second), bytes);
    EXPECT_FALSE(std::filesystem::exists(folder_ / "___temp.vms"));
}

// The whole file, byte for byte, against the copy kept in tests/models/golden: any
// change to a single bit of what users get shows here first. After a deliberate change
// of the format, write the files anew with
//   build/bin/cmp_write_models build/bin/libcmpexport.so tests/models/golden
TEST_P(ModelsTest, WritesTheGoldenFile) {
    PlugInExporter exporter(CMPEXPORT_PLUGIN_PATH);
    ASSERT_TRUE(exporter.Loaded()) << exporter.Error();
    const std::filesystem::path output = folder_ / "export.cmp";
    ASSERT_EQ(exporter.Export(GetParam(), output.string()), 0);

    const std::filesystem::path golden =
        std::filesystem::path(MODELS_GOLDEN_DIR) / (std::string(GetParam().name) + ".cmp");
    ASSERT_TRUE(std::filesystem::is_regular_file(golden)) << golden << " is missing";
    const Bytes expected = ReadWholeFileBytes(golden);
    const Bytes actual = ReadWholeFileBytes(output);
    const auto mismatch =
        std::mismatch(actual.begin(), actual.end(), expected.begin(), expected.end());
    EXPECT_TRUE(mismatch.first == actual.end() && mismatch.second == expected.end())
        << "written " << actual.size() << " bytes, golden " << expected.size()
        << " bytes; first difference at byte " << (mismatch.first - actual.begin());
}

INSTANTIATE_TEST_SUITE_P(Comparison, ModelsTest, ::testing::ValuesIn(ComparisonModels()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ComparisonModels, HaveDistinctFileNames) {
    std::set<std::string> names;
    for (const TestModel& model : ComparisonModels()) {
        EXPECT_TRUE(names.insert(model.name).second) << model.name;
    }
    EXPECT_GE(names.size(), 8u);
}

}  // namespace

}  // namespace cmp
