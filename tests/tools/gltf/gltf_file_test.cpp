// cmpinfo --gltf: the file's two forms read back, the program's answers, and the glTF
// validator's verdict on what it writes for every golden tree file.
#include "tools/cmpinfo/gltf/gltf.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "mesh/mesh.h"
#include "tests/support/file_contents.h"
#include "tests/support/scratch_folder.h"
#include "tests/tools/gltf_rules.h"
#include "tests/tools/heavy_models.h"
#include "tests/tools/model_tree.h"
#include "tests/tree/mesh_fixtures.h"
#include "tree/tree.h"
#include "utf/utf.h"

namespace cmp {

namespace {

namespace fs = std::filesystem;

struct ShellRun {
    int status;
    std::string out;
    std::string err;
};

// Runs `command` through the shell in `folder`, its output and errors into files there.
ShellRun Shell(const ScratchFolder& folder, const std::string& command) {
    const std::string out = folder / "run.out";
    const std::string err = folder / "run.err";
    const int status = std::system(
        ("cd '" + folder.GetPath().string() + "' && " + command + " >'" + out + "' 2>'" + err + "'")
            .c_str());
    ShellRun run{WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadWholeFile(out),
                 ReadWholeFile(err)};
    fs::remove(out);
    fs::remove(err);
    return run;
}

std::vector<fs::path> GoldenTreeFiles() {
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(fs::path(SOURCE_DIR) / "tests/models/golden")) {
        files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    files.push_back(fs::path(SOURCE_DIR) / "tests/e2e/golden/kestrel.cmp");
    return files;
}

// A tree file of one face and one hardpoint, whose face's second vertex is `x` across.
Bytes TreeFileWithX(float x) {
    MeshList meshes = {FaceAt("Ship", {0, 0, 0}, {0, 1, 0}), MakeMesh("Hp_Fixed_Gun", {{0, 1, 0}})};
    meshes[0].vertices[1].position[0] = x;
    NodeTree tree;
    BuildCompoundLayout(tree, meshes, BuildMeshDataStream(meshes));
    return UtfLayout(tree).GetFileBytes();
}

// Tree files the checks pass whose glTF once failed the validator, or took hundreds of
// megabytes: normals not of unit length, orientations that are no rotation, one stream
// that many references share, many small meshes of materials of their own.
struct CraftedFile {
    const char* name;
    Bytes bytes;
};

Bytes Floats(std::initializer_list<float> values) {
    Bytes bytes;
    for (const float value : values) {
        AppendF32(bytes, value);
    }
    return bytes;
}

// Three faces whose first vertices' normals are `normals`, and a hardpoint of each
// orientation, in order.
Bytes TreeFileWith(const std::vector<std::array<float, 3>>& normals,
                   const std::vector<Bytes>& orientations) {
    MeshList meshes;
    for (std::size_t m = 0; m < normals.size(); ++m) {
        meshes.push_back(FaceAt("Part" + std::to_string(m), {2.0f * m, 0, 0}, {0, 1, 0}));
        std::copy(normals[m].begin(), normals[m].end(), meshes.back().vertices[0].normal);
    }
    for (std::size_t h = 0; h < orientations.size(); ++h) {
        meshes.push_back(MakeMesh("Hp_Fixed_Gun" + std::to_string(h), {{1.0f * h, 1, 0}}));
    }
    NodeTree tree = ModelTree(meshes);
    std::size_t h = 0;
    for (NodeHandle node : tree.Registry()) {
        if (tree.GetName(node) == "Orientation") {
            tree.SetPayload(node, orientations.at(h++));
        }
    }
    return UtfLayout(tree).GetFileBytes();
}

std::vector<CraftedFile> CraftedFiles() {
    const Bytes identity = Floats({1, 0, 0, 0, 1, 0, 0, 0, 1});
    return {
        {"normal_five", TreeFileWith({{0, 5, 0}, {0, 1, 0}}, {identity})},
        {"normal_zero", TreeFileWith({{0, 1, 0}, {0, 0, 0}}, {identity})},
        {"orientation_zero", TreeFileWith({{0, 1, 0}}, {Floats({0, 0, 0, 0, 0, 0, 0, 0, 0})})},
        {"orientation_sheared",
         TreeFileWith({{0, 1, 0}}, {identity, Floats({1, 0.5f, 0, 0, 1, 0, 0, 0, 1}),
                                    Floats({100, 0, 0, 0, 100, 0, 0, 0, 100})})},
        {"shared_stream", SharedStreamFile(20, 10, 60)},
        {"many_triangles", ManySmallMeshesFile(200, 3)},
        {"many_points", ManySmallMeshesFile(300, 1)},
    };
}

TEST(GltfFile, TheNameChoosesTheForm) {
    struct Case {
        const char* path;
        std::optional<GltfForm> form;
    };
    const Case cases[] = {
        {"ship.gltf", GltfForm::Text},  {"out/Ship.GLTF", GltfForm::Text},
        {"ship.glb", GltfForm::Binary}, {"a.b.GlB", GltfForm::Binary},
        {".glb", GltfForm::Binary},     {"ship.gltf.tmp", std::nullopt},
        {"ship.obj", std::nullopt},     {"glb", std::nullopt},
        {"ship.cmp", std::nullopt},     {"", std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(GltfFormFor(c.path), c.form) << c.path;
    }
}

// What a glTF reader gets back from either form: the buffer bit for bit, the bounds and
// transforms as exact doubles, the names.
TEST(GltfFile, BothFormsReadBackExactly) {
    StoredModel model;
    model.entries = {"Hull.lod0.vms"};
    model.meshes.push_back(
        StoredMesh{0,
                   0,
                   0xEB9CFAA5,
                   {{{0.1f, -0.0f, 1e-40f}, {0, 1, 0}, {0.3f, 0.7f}},
                    {{std::numeric_limits<float>::max(), 2.5f, -1e30f}, {0.6f, 0.8f, 0}, {1, 0}},
                    {{-0.333333343f, 0, 7}, {0, 0, -1}, {0, 1}}},
                   {0, 1, 2}});
    model.references = {{0}};
    model.hardpoints.push_back(StoredHardpoint{.name = "Gun\xC3\xA4",
                                               .orientation = {0.1f, 1, 0, -1, 0.1f, 0, 0, 0, 1},
                                               .position = {0.3f, -0.7f, 1e-7f}});
    std::vector<tinygltf::Model> read(2);
    for (const GltfForm form : {GltfForm::Text, GltfForm::Binary}) {
        const Result<GltfFile> made = MakeGltfFile(model, "ship.cmp", form);
        ASSERT_TRUE(made) << made.message();
        const Bytes bytes = Joined(made.value());
        std::string error;
        tinygltf::Model& document = read[form == GltfForm::Text ? 0 : 1];
        ASSERT_TRUE(ReadGltfDocument(bytes, document, error)) << error;
        const char* name = form == GltfForm::Text ? "text" : "binary";
        if (form == GltfForm::Text) {
            EXPECT_EQ(document.buffers[0].uri.rfind("data:application/octet-stream;base64,", 0),
                      0u);
        } else {
            EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "glTF");
            EXPECT_EQ(LoadU32(bytes.data() + 8), bytes.size()) << "the header's length";
        }
        ASSERT_EQ(document.nodes.size(), 3u) << name;
        EXPECT_EQ(document.nodes[0].scale, std::vector<double>(3, GetGltfRootScale())) << name;
        EXPECT_EQ(document.nodes[2].matrix, (std::vector<double>{0.1f, 1, 0, 0, -1, 0.1f, 0, 0, 0,
                                                                 0, 1, 0, 0.3f, -0.7f, 1e-7f, 1}))
            << name;
        EXPECT_EQ(document.nodes[2].name, "Gun\xC3\xA4") << name;
        EXPECT_EQ(document.meshes[0].name, "Hull.lod0.vms") << name;
        EXPECT_EQ(document.materials[0].name, "0xEB9CFAA5") << name;
        const int positionIndex = document.meshes[0].primitives[0].attributes.at("POSITION");
        const tinygltf::Accessor& positions = document.accessors[positionIndex];
        EXPECT_EQ(positions.minValues, (std::vector<double>{-0.333333343f, -0.0f, -1e30f})) << name;
        EXPECT_EQ(positions.maxValues,
                  (std::vector<double>{std::numeric_limits<float>::max(), 2.5f, 7}))
            << name;
        const std::vector<float> stored = GltfFloats(document, positionIndex, 3);
        EXPECT_EQ(stored[3], std::numeric_limits<float>::max()) << name;
        EXPECT_EQ(stored[2], 1e-40f) << name;
    }
    EXPECT_EQ(read[0].buffers[0].data, read[1].buffers[0].data);
    ASSERT_EQ(read[0].accessors.size(), read[1].accessors.size());
    for (std::size_t a = 0; a < read[0].accessors.size(); ++a) {
        EXPECT_EQ(read[0].accessors[a].minValues, read[1].accessors[a].minValues) << a;
        EXPECT_EQ(read[0].accessors[a].maxValues, read[1].accessors[a].maxValues) << a;
        EXPECT_EQ(read[0].accessors[a].byteOffset, read[1].accessors[a].byteOffset) << a;
    }
}

TEST(GltfFile, TheProgramWritesEitherFormOrSaysWhyNot) {
    ScratchFolder folder;
    WriteWholeFile(folder / "ship.cmp", TreeFileWithX(1.0f));
    WriteWholeFile(folder / "nan.cmp", TreeFileWithX(std::numeric_limits<float>::quiet_NaN()));
    WriteWholeFile(folder / "junk.cmp", "not a tree file");
    WriteWholeFile(folder / "kept.glb", "mine");
    fs::create_directory(folder / "folder.gltf");
    struct Case {
        const char* arguments;
        int status;
        const char* error;    // the start of what it says on standard error
        const char* written;  // the file it must have written, its first bytes
        const char* firstBytes;
    };
    const Case cases[] = {
        {"--gltf ship.gltf ship.cmp", 0, "", "ship.gltf", "{"},
        {"--gltf SHIP.GLB ship.cmp", 0, "", "SHIP.GLB", "glTF"},
        {"ship.cmp --gltf ship.glb", 0, "", "ship.glb", "glTF"},
        {"--gltf ship.obj ship.cmp", 2,
         "cmpinfo: --gltf needs a file name ending in .gltf or .glb\n", nullptr, nullptr},
        {"ship.cmp --gltf", 2, "cmpinfo: --gltf needs a file name ending in .gltf or .glb\n",
         nullptr, nullptr},
        {"--gltf a.gltf --check ship.cmp", 2,
         "cmpinfo: --gltf goes with none of --check, --json, --render and --size\n", nullptr,
         nullptr},
        {"--gltf a.gltf --render a.png ship.cmp", 2,
         "cmpinfo: --gltf goes with none of --check, --json, --render and --size\n", nullptr,
         nullptr},
        {"--gltf a.gltf", 2, "cmpinfo: no file given\n", nullptr, nullptr},
        {"--gltf a.gltf junk.cmp", 2, "cmpinfo: junk.cmp: not a readable tree file: ", nullptr,
         nullptr},
        {"--gltf a.gltf missing.cmp", 2, "cmpinfo: missing.cmp: cannot read: ", nullptr, nullptr},
        {"--gltf a.gltf nan.cmp", 2,
         "cmpinfo: nan.cmp: mesh \"Ship.lod0.vms mesh 0\" vertex 1: its position is not a finite "
         "number, which a glTF file cannot hold\n",
         nullptr, nullptr},
        {"--gltf kept.glb nan.cmp", 2, "cmpinfo: nan.cmp: mesh ", "kept.glb", "mine"},
        {"--gltf missing/a.gltf ship.cmp", 2,
         "cmpinfo: cannot write the glTF file: the folder 'missing' does not exist\n", nullptr,
         nullptr},
        {"--gltf a.gltf --gltf b.gltf ship.cmp", 2, "cmpinfo: --gltf given twice\n", nullptr,
         nullptr},
        {"--gltf folder.gltf ship.cmp", 2,
         "cmpinfo: cannot write the glTF file: cannot replace 'folder.gltf': ", nullptr, nullptr},
    };
    for (const Case& c : cases) {
        const ShellRun run = Shell(folder, std::string(CMPINFO_PATH) + " " + c.arguments);
        EXPECT_EQ(run.status, c.status) << c.arguments << ": " << run.err;
        EXPECT_EQ(run.out, "") << c.arguments;
        EXPECT_EQ(run.err.rfind(c.error, 0), 0u) << c.arguments << ": " << run.err;
        EXPECT_EQ(run.err.empty(), *c.error == '\0') << c.arguments << ": " << run.err;
        // Nothing else appears: no staged file is left, nothing is half written.
        std::vector<std::string> expected{"folder.gltf", "junk.cmp", "kept.glb", "nan.cmp",
                                          "ship.cmp"};
        if (c.written) {
            const std::string bytes = ReadWholeFile(folder / c.written);
            EXPECT_EQ(bytes.rfind(c.firstBytes, 0), 0u) << c.arguments;
            if (std::string(c.written) != "kept.glb") {
                expected.push_back(c.written);
            }
        }
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(folder.Contents(), expected) << c.arguments;
        if (c.written && std::string(c.written) != "kept.glb") {
            fs::remove(folder / c.written);
        }
    }
}

// A name for OUT that reaches the tree file itself (here through a link) would replace
// the user's model with its glTF.
TEST(GltfFile, TheFileItIsMadeFromIsNeverReplaced) {
    ScratchFolder folder;
    const Bytes tree = TreeFileWithX(1.0f);
    WriteWholeFile(folder / "ship.cmp", tree);
    fs::create_symlink("ship.cmp", folder / "ship.glb");
    const ShellRun run = Shell(folder, std::string(CMPINFO_PATH) + " --gltf ship.glb ship.cmp");
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "cmpinfo: ship.glb: the glTF would replace the file it is made from\n");
    EXPECT_EQ(ReadWholeFileBytes(folder / "ship.cmp"), tree);
    EXPECT_EQ(folder.Contents(), (std::vector<std::string>{"ship.cmp", "ship.glb"}));
}

TEST(GltfFile, AWrittenFileReplacesTheOldOneWhole) {
    ScratchFolder folder;
    WriteWholeFile(folder / "ship.cmp", TreeFileWithX(1.0f));
    WriteWholeFile(folder / "ship.gltf", std::string(100000, 'x'));
    const ShellRun run = Shell(folder, std::string(CMPINFO_PATH) + " --gltf ship.gltf ship.cmp");
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string text = ReadWholeFile(folder / "ship.gltf");
    EXPECT_EQ(text.front(), '{');
    EXPECT_EQ(text.find('x' + std::string(10, 'x')), std::string::npos);
    EXPECT_EQ(folder.Contents(), (std::vector<std::string>{"ship.cmp", "ship.gltf"}));
}

// Every golden tree file and every crafted one, in both forms, through the validator: no
// errors. What it does say (unused texture coordinates, as no texture uses them; degenerate
// triangles in the models that have them) is counted; warnings are printed.
TEST(GltfFile, TheValidatorFindsNoErrorInAnyGoldenFileInEitherForm) {
    ScratchFolder folder;
    std::vector<std::string> names;
    std::vector<fs::path> trees = GoldenTreeFiles();
    for (const CraftedFile& crafted : CraftedFiles()) {
        WriteWholeFile(folder / (std::string(crafted.name) + ".cmp"), crafted.bytes);
        trees.push_back(folder.GetPath() / (std::string(crafted.name) + ".cmp"));
    }
    std::string files;
    for (const fs::path& tree : trees) {
        names.push_back(tree.stem().string());
        for (const char* extension : {".gltf", ".glb"}) {
            const std::string output = tree.stem().string() + extension;
            const ShellRun run = Shell(folder, std::string(CMPINFO_PATH) + " --gltf " + output +
                                                   " '" + tree.string() + "'");
            ASSERT_EQ(run.status, 0) << tree << ": " << run.err;
            files += " " + output;
        }
    }
    const ShellRun validated = Shell(folder, std::string(NODE_PROGRAM) + " '" + VALIDATE_SCRIPT +
                                                 "' '" + GLTF_VALIDATOR_DIR + "'" + files);
    std::istringstream lines(validated.out);
    for (std::string line; std::getline(lines, line);) {
        if (line.find("  info ") != 0) {
            std::printf("%s\n", line.c_str());
        }
    }
    EXPECT_EQ(validated.status, 0) << validated.out << validated.err;
    EXPECT_EQ(validated.err, "");
    // Each file has its line in the report.
    for (const std::string& name : names) {
        EXPECT_NE(validated.out.find(name + ".glb: 0 errors"), std::string::npos) << name;
        EXPECT_NE(validated.out.find(name + ".gltf: 0 errors"), std::string::npos) << name;
    }
}

// What the glTF holds otherwise than stored is told on standard error, after the file is
// written.
TEST(GltfFile, TheProgramTellsWhatItChanged) {
    ScratchFolder folder;
    struct Case {
        const char* file;
        const char* err;
    };
    const Case cases[] = {
        {"normal_five",
         "cmpinfo: normal_five.cmp: 1 normal not of unit length scaled to unit length, as glTF "
         "asks\n"},
        {"normal_zero",
         "cmpinfo: normal_zero.cmp: 1 mesh has a normal of length zero, which glTF cannot hold: "
         "written without normals (the first: \"Part0.lod0.vms mesh 1\")\n"},
        {"orientation_zero",
         "cmpinfo: orientation_zero.cmp: 1 hardpoint orientation is no rotation a glTF node can "
         "hold: written as the nearest rotation, with the stored rows in the node's extras as "
         "\"orientation\" (the first: \"Gun0\")\n"},
        {"orientation_sheared",
         "cmpinfo: orientation_sheared.cmp: 2 hardpoint orientations are no rotation a glTF node "
         "can hold: written as the nearest rotation, with the stored rows in the node's extras "
         "as \"orientation\" (the first: \"Gun1\")\n"},
        {"shared_stream", ""},
        {"many_points", ""},
    };
    const std::vector<CraftedFile> crafted = CraftedFiles();
    for (const Case& c : cases) {
        const auto file = std::find_if(crafted.begin(), crafted.end(), [&](const CraftedFile& f) {
            return std::string(f.name) == c.file;
        });
        ASSERT_NE(file, crafted.end()) << c.file;
        WriteWholeFile(folder / (std::string(c.file) + ".cmp"), file->bytes);
        const ShellRun run =
            Shell(folder, std::string(CMPINFO_PATH) + " --gltf out.glb " + c.file + ".cmp");
        EXPECT_EQ(run.status, 0) << c.file << ": " << run.err;
        EXPECT_EQ(run.err, c.err) << c.file;
        EXPECT_EQ(run.out, "") << c.file;
        std::string error;
        tinygltf::Model document;
        ASSERT_TRUE(ReadGltfDocument(ReadWholeFileBytes(folder / "out.glb"), document, error))
            << c.file << ": " << error;
        EXPECT_EQ(FindGltfRuleBreaches(document), std::vector<std::string>{}) << c.file;
    }
}

// The validator itself tells a broken file: the test above would pass on one that ran it
// on nothing.
TEST(GltfFile, TheValidatorScriptFailsOnABrokenFile) {
    ScratchFolder folder;
    WriteWholeFile(folder / "broken.gltf",
                   "{\"asset\":{\"version\":\"2.0\"},\"accessors\":[{\"componentType\":5126,"
                   "\"count\":0,\"type\":\"VEC3\"}]}");
    const ShellRun validated = Shell(folder, std::string(NODE_PROGRAM) + " '" + VALIDATE_SCRIPT +
                                                 "' '" + GLTF_VALIDATOR_DIR + "' broken.gltf");
    EXPECT_EQ(validated.status, 1) << validated.out << validated.err;
    EXPECT_NE(validated.out.find("broken.gltf: 1 errors"), std::string::npos) << validated.out;
}

}  // namespace

}  // namespace cmp
