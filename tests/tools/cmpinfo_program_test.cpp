// Runs the cmpinfo program itself on good, broken and truncated files.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "mesh/mesh_data_stream.h"
#include "tests/tools/every_leaf_tree.h"
#include "tests/tree/mesh_fixtures.h"
#include "tree/compound_layout.h"
#include "utf/utf_layout.h"

namespace cmp {

namespace {

namespace fs = std::filesystem;

struct ProgramRun {
    int status;
    std::string out;
    std::string err;
};

class CmpinfoProgramTest : public ::testing::Test {
  protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() /
                  ("cmpinfo_program_test_" + std::to_string(::getpid()) + "_" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }

    std::string Write(const std::string& name, const Bytes& bytes) {
        const fs::path path = folder_ / name;
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return path.string();
    }
    static std::string Slurp(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    ProgramRun Cmpinfo(const std::string& arguments) {
        const fs::path out = folder_ / "stdout", err = folder_ / "stderr";
        // From inside the folder, so that a file given by name alone is named so in the output.
        const std::string command = "cd " + folder_.string() + " && " + CMPINFO_PATH + " " +
                                    arguments + " >" + out.string() + " 2>" + err.string();
        const int status = std::system(command.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, Slurp(out), Slurp(err)};
    }

    static Bytes ModelFile(std::int32_t referencedMeshes = 1) {
        const MeshList meshes = {FaceAt("Ship", {0, 0, 0}, {0, 1, 0}),
                                 MakeMesh("Hp_Fixed_Gun", {{0, 1, 0}})};
        NodeTree tree;
        BuildCompoundLayout(tree, meshes, BuildMeshDataStream(meshes));
        if (referencedMeshes != 1) {
            auto payload = std::make_unique<Payload>();
            payload->bytes = MeshRefRecord("Ship.lod0.vms", referencedMeshes);
            tree.SetPayload(tree.Registry().back(), std::move(payload));
        }
        return UtfLayout(tree).GetFileBytes();
    }

    fs::path folder_;
};

TEST_F(CmpinfoProgramTest, GoodFile) {
    const std::string file = Write("ship.cmp", ModelFile());
    const ProgramRun shown = Cmpinfo(file);
    EXPECT_EQ(shown.status, 0) << shown.err;
    EXPECT_NE(shown.out.find("      VMeshData (130 bytes)\n"), std::string::npos) << shown.out;
    EXPECT_NE(shown.out.find("        Gun\n          Orientation (36 bytes)\n"), std::string::npos)
        << shown.out;
    EXPECT_EQ(shown.err, "");

    const ProgramRun checked = Cmpinfo("--check " + file);
    EXPECT_EQ(checked.status, 0);
    EXPECT_EQ(checked.out, "");

    const ProgramRun json = Cmpinfo("--json " + file);
    EXPECT_EQ(json.status, 0);
    EXPECT_EQ(json.out.rfind("{\"file\":", 0), 0u) << json.out;
    EXPECT_NE(json.out.find("\"problemCount\":0"), std::string::npos);
    EXPECT_NE(json.out.find("{\"name\":\"Position\",\"size\":12,\"decoded\":{\"kind\":\"reals\""),
              std::string::npos)
        << json.out;
}

// The whole output of every mode, byte for byte, for a file with every leaf kind.
TEST_F(CmpinfoProgramTest, EveryModeMatchesTheGoldenOutput) {
    Write(EveryLeafFileName, UtfLayout(EveryLeafTree()).GetFileBytes());
    struct Case {
        const char* options;
        const char* golden;
    };
    const std::vector<Case> cases = {
        {"", "every_leaf.txt"},
        {"--json ", "every_leaf.json"},
        {"--check ", "every_leaf.check.txt"},
        {"--check --json ", "every_leaf.check.json"},
    };
    for (const Case& c : cases) {
        const ProgramRun run = Cmpinfo(c.options + std::string(EveryLeafFileName));
        EXPECT_EQ(run.status, 1) << c.golden;
        EXPECT_EQ(run.out, Slurp(fs::path(CMPINFO_GOLDEN_DIR) / c.golden)) << c.golden;
    }
}

TEST_F(CmpinfoProgramTest, BrokenLeaf) {
    const std::string file = Write("broken.cmp", ModelFile(2));
    const ProgramRun checked = Cmpinfo("--check " + file);
    EXPECT_EQ(checked.status, 1);
    EXPECT_EQ(checked.out, file +
                               ": \\Ship.3db\\MultiLevel\\Level0\\VMeshPart\\VMeshRef: counts 2 "
                               "meshes, but the mesh data of \"Ship.lod0.vms\" holds 1\n");

    const ProgramRun shown = Cmpinfo(file);
    EXPECT_EQ(shown.status, 1);
    EXPECT_NE(shown.out.find("    ! counts 2 meshes"), std::string::npos) << shown.out;
    EXPECT_NE(shown.out.find("\n1 problem found\n"), std::string::npos) << shown.out;

    const ProgramRun json = Cmpinfo("--check --json " + file);
    EXPECT_EQ(json.status, 1);
    EXPECT_NE(json.out.find("\"path\":\"\\\\Ship.3db\\\\MultiLevel"), std::string::npos)
        << json.out;
}

TEST_F(CmpinfoProgramTest, UnreadableFiles) {
    const Bytes good = ModelFile();
    struct Case {
        const char* what;
        std::string arguments;
        const char* message;
    };
    const std::string truncated = Write("cut.cmp", Bytes(good.begin(), good.end() - 1));
    const std::string header = Write("header.cmp", Bytes(good.begin(), good.begin() + 20));
    const std::string text = Write("text.cmp", {'h', 'e', 'l', 'l', 'o'});
    const std::vector<Case> cases = {
        {"truncated", truncated, "cut.cmp: not a readable tree file: record"},
        {"cut in the header", header, "shorter than the 56-byte header (at byte 20)"},
        {"not a tree file", text, "text.cmp: not a readable tree file"},
        {"missing", (folder_ / "none.cmp").string(), "none.cmp: cannot read: No such file"},
        {"a folder", folder_.string(), "cannot read: Is a directory"},
        {"no file", "", "no file given"},
        {"two files", truncated + " " + text, "one file at a time"},
        {"unknown option", "--verbose " + text, "unknown option '--verbose'"},
    };
    for (const Case& c : cases) {
        for (const char* mode : {"", "--check ", "--json "}) {
            const ProgramRun run = Cmpinfo(mode + c.arguments);
            EXPECT_EQ(run.status, 2) << c.what << " " << mode;
            EXPECT_EQ(run.out, "") << c.what << " " << mode;
            EXPECT_NE(run.err.find(c.message), std::string::npos) << c.what << ": " << run.err;
        }
    }
}

TEST_F(CmpinfoProgramTest, Help) {
    const ProgramRun help = Cmpinfo("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("Usage: cmpinfo [--check | --json] FILE\n", 0), 0u);
    EXPECT_NE(help.out.find("Exit status"), std::string::npos);
}

}  // namespace

}  // namespace cmp
