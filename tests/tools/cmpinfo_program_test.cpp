// Runs the cmpinfo program itself on good, broken, truncated and hostile files, from
// pipes and devices, and onto a full disk.
#include <fcntl.h>
#include <gtest/gtest.h>

#if __has_include(<valgrind/valgrind.h>)
#include <valgrind/valgrind.h>
#endif
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "mesh/mesh_data_stream.h"
#include "tests/support/file_contents.h"
#include "tests/support/scratch_folder.h"
#include "tests/tools/every_leaf_tree.h"
#include "tests/tools/heavy_models.h"
#include "tests/tools/hostile_files.h"
#include "tests/tools/picture_pixels.h"
#include "tests/tree/mesh_fixtures.h"
#include "tools/cmpinfo/file_input.h"
#include "tools/cmpinfo/picture_views.h"
#include "tools/cmpinfo/sound_model.h"
#include "tree/compound_layout.h"
#include "utf/utf_layout.h"

namespace cmp {

namespace {

namespace fs = std::filesystem;

// AddressSanitizer reserves terabytes of address space: no limit on it can hold for a
// program built with it.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool BuiltLimitable = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool BuiltLimitable = false;
#else
constexpr bool BuiltLimitable = true;
#endif
#else
constexpr bool BuiltLimitable = true;
#endif

// Nor under Valgrind, which runs the programs these tests start as well and needs far
// more address space than they do.
bool UnderValgrind() {
#if __has_include(<valgrind/valgrind.h>)
    return RUNNING_ON_VALGRIND != 0;
#else
    return false;
#endif
}

const bool MemoryIsLimitable = BuiltLimitable && !UnderValgrind();

// What the program needs whatever its input: its code, the C++ runtime and the other
// libraries it maps, stdio's buffers. Measured at about 12 MiB of address space.
constexpr std::uint64_t ProgramAllowance = std::uint64_t{16} << 20;

struct ProgramRun {
    int status;
    std::string out;
    std::string err;
};

struct LimitedRun {
    int status;
    std::uint64_t outputBytes;
    std::string err;
};

class CmpinfoProgramTest : public ::testing::Test {
  protected:
    std::string Write(const std::string& name, const Bytes& bytes) {
        WriteWholeFile(folder_.GetPath() / name, bytes);
        return folder_ / name;
    }
    static std::string Slurp(const fs::path& path) { return ReadWholeFile(path); }
    // Runs cmpinfo through the shell, its output into `out` (by default a file of the
    // folder), its input from the shell command `input` through a pipe when one is given.
    ProgramRun Cmpinfo(const std::string& arguments, std::string out = "",
                       const std::string& input = "") {
        if (out.empty()) {
            out = folder_ / "stdout";
        }
        const std::string err = folder_ / "stderr";
        // From inside the folder, so that a file given by name alone is named so in the output.
        const std::string command = "cd " + folder_.GetPath().string() + " && " +
                                    (input.empty() ? "" : input + " | ") + CMPINFO_PATH + " " +
                                    arguments + " >" + out + " 2>" + err;
        const int status = std::system(command.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out == "/dev/full" ? "" : Slurp(out),
                Slurp(err)};
    }
    // Runs cmpinfo as a child of its own, its address space limited to `addressLimit`
    // bytes (none: 0), which bounds all the memory it can ever take, resident or not. (The
    // child's peak resident size as getrusage tells it would include this test program's
    // own, which fork copies and exec counts.)
    LimitedRun CmpinfoLimited(const std::vector<std::string>& arguments,
                              std::uint64_t addressLimit = 0) {
        const std::string out = folder_ / "measured.out";
        const std::string err = folder_ / "measured.err";
        std::vector<char*> argv = {const_cast<char*>(CMPINFO_PATH)};
        for (const std::string& argument : arguments) {
            argv.push_back(const_cast<char*>(argument.c_str()));
        }
        argv.push_back(nullptr);
        const pid_t child = ::fork();
        if (child == 0) {
            const int outFile = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int errFile = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (outFile < 0 || errFile < 0 || ::dup2(outFile, 1) < 0 || ::dup2(errFile, 2) < 0) {
                ::_exit(126);
            }
            if (addressLimit > 0) {
                const rlimit limit{addressLimit, addressLimit};
                if (::setrlimit(RLIMIT_AS, &limit) != 0) {
                    ::_exit(126);
                }
            }
            ::execv(CMPINFO_PATH, argv.data());
            ::_exit(127);
        }
        int status = 0;
        EXPECT_EQ(::waitpid(child, &status, 0), child);
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, fs::file_size(out), Slurp(err)};
    }

    static Bytes ModelFile(std::int32_t referencedMeshes = 1) {
        const MeshList meshes = {FaceAt("Ship", {0, 0, 0}, {0, 1, 0}),
                                 MakeMesh("Hp_Fixed_Gun", {{0, 1, 0}})};
        NodeTree tree;
        BuildCompoundLayout(tree, meshes, BuildMeshDataStream(meshes));
        if (referencedMeshes != 1) {
            tree.SetPayload(tree.Registry().back(),
                            MeshRefRecord("Ship.lod0.vms", referencedMeshes));
        }
        return UtfLayout(tree).GetFileBytes();
    }

    ScratchFolder folder_{ScratchFolder::Enter::No, "cmpinfo"};
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
        {"missing", folder_ / "none.cmp", "none.cmp: cannot read: No such file"},
        {"a folder", folder_.GetPath().string(), "cannot read: Is a directory"},
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
    EXPECT_NE(help.out.find("       cmpinfo --render OUT.png [--size WxH] FILE\n"),
              std::string::npos);
}

// The picture a run writes, read back with Cairo; null when there is none.
PictureSurface ReadPng(const std::string& path) {
    PictureSurface surface(cairo_image_surface_create_from_png(path.c_str()));
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) {
        return nullptr;
    }
    return surface;
}

const std::string KestrelFile = std::string(CMP_SOURCE_DIR) + "/tests/e2e/golden/kestrel.cmp";

TEST_F(CmpinfoProgramTest, RendersThePictureAsked) {
    Write("kestrel.cmp", ReadWholeFileBytes(KestrelFile));
    Write("ship.png", Bytes{'o', 'l', 'd'});  // a file of the user's, replaced as asked
    const Result<StoredModel> model = LoadSoundModel(KestrelFile);
    ASSERT_TRUE(model) << model.message();
    const PictureScene scene = BuildPictureScene(model.value());
    ASSERT_FALSE(scene.hardpoints.empty());
    struct Case {
        const char* arguments;
        int width;
        int height;
    };
    const std::vector<Case> cases = {
        {"--render ship.png kestrel.cmp", 1600, 1200},
        {"--size 640x480 --render ship.png kestrel.cmp", 640, 480},
        {"kestrel.cmp --render ship.png --size 333x777", 333, 777},
        {"--render ship.png -- kestrel.cmp", 1600, 1200},
    };
    for (const Case& c : cases) {
        const ProgramRun run = Cmpinfo(c.arguments);
        EXPECT_EQ(run.status, 0) << c.arguments << ": " << run.err;
        EXPECT_EQ(run.out, "") << c.arguments;
        EXPECT_EQ(run.err, "") << c.arguments;
        const PictureSurface png = ReadPng(folder_ / "ship.png");
        ASSERT_TRUE(png) << c.arguments;
        EXPECT_EQ(cairo_image_surface_get_width(png.get()), c.width) << c.arguments;
        EXPECT_EQ(cairo_image_surface_get_height(png.get()), c.height) << c.arguments;
        // Where the views put every hardpoint, the picture has its dot.
        const PictureLayout layout = LayOutPicture(scene, c.width, c.height);
        for (const PanelView& view : layout.views) {
            for (const SceneHardpoint& hardpoint : scene.hardpoints) {
                const ViewPoint at = view.Project(hardpoint.position);
                EXPECT_EQ(PixelAt(png.get(), at.x, at.y), Painted(HardpointColour))
                    << c.arguments << ": " << view.GetTitle() << ", " << hardpoint.name;
            }
        }
        EXPECT_EQ(folder_.Contents(),
                  (std::vector<std::string>{"kestrel.cmp", "ship.png", "stderr", "stdout"}));
    }
}

// Drawn all the same, and told on standard error: a model without mesh data, and
// triangles with corners that are not numbers (which the checks let through).
TEST_F(CmpinfoProgramTest, TellsWhatThePictureLeavesOut) {
    Write("only_hardpoints.cmp", ReadWholeFileBytes(std::string(CMP_SOURCE_DIR) +
                                                    "/tests/models/golden/only_hardpoints.cmp"));
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const MeshList meshes = {
        MakeMesh("Ship", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {nan, 0, 0}, {0, 0, inf}},
                 {0, 1, 2, 0, 1, 3, 4, 1, 2}, {{0, 0, 1}, {0, 0, 1}, {0, 0, 1}}),
        MakeMesh("Hp_Fixed_Gun", {{0, 1, 0}})};
    NodeTree tree;
    BuildCompoundLayout(tree, meshes, BuildMeshDataStream(meshes));
    Write("nan.cmp", UtfLayout(tree).GetFileBytes());
    struct Case {
        const char* file;
        const char* err;
    };
    const std::vector<Case> cases = {
        {"only_hardpoints.cmp",
         "cmpinfo: only_hardpoints.cmp: no mesh data; the picture shows the hardpoints alone\n"},
        {"nan.cmp",
         "cmpinfo: nan.cmp: left out of the picture for coordinates that are not finite numbers: "
         "2 triangles\n"},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(Cmpinfo(std::string("--check ") + c.file).status, 0) << c.file;
        const ProgramRun run = Cmpinfo(std::string("--render out.png --size 400x300 ") + c.file);
        EXPECT_EQ(run.status, 0) << c.file << ": " << run.err;
        EXPECT_EQ(run.err, c.err);
        EXPECT_TRUE(ReadPng(folder_ / "out.png")) << c.file;
        fs::remove(folder_.GetPath() / "out.png");
    }
}

// Whatever stops a picture, the run ends with status 2 and the reason, and the file it
// was to write is as it was: not there, or the user's old one.
TEST_F(CmpinfoProgramTest, NoPictureWhenItCannotBeDrawnOrWritten) {
    const Bytes kestrel = ReadWholeFileBytes(KestrelFile);
    Write("kestrel.cmp", kestrel);
    Write("cut.cmp", Bytes(kestrel.begin(), kestrel.end() - 1));
    Write("broken.cmp", ModelFile(2));
    Write("text.cmp", Bytes{'h', 'e', 'l', 'l', 'o'});
    fs::create_directory(folder_.GetPath() / "folder");
    struct Case {
        const char* what;
        std::string arguments;
        const char* err;  // a part of standard error
    };
    const std::vector<Case> cases = {
        {"truncated", "--render old.png cut.cmp", "cmpinfo: cut.cmp: not a readable tree file: "},
        {"problems", "--render old.png broken.cmp",
         "cmpinfo: broken.cmp: 1 problem found by the checks, the first: "
         "\\Ship.3db\\MultiLevel\\Level0\\VMeshPart\\VMeshRef: counts 2 meshes"},
        {"not a tree file", "--render old.png text.cmp", "cmpinfo: text.cmp: not a readable"},
        {"missing", "--render old.png none.cmp", "cmpinfo: none.cmp: cannot read: No such file"},
        {"into a missing folder", "--render none/new.png kestrel.cmp",
         "cmpinfo: cannot write the picture: cannot create 'none/new.png."},
        {"over a folder", "--render folder kestrel.cmp",
         "cmpinfo: cannot write the picture: cannot replace 'folder'"},
        {"over a device", "--render /dev/null kestrel.cmp",
         "cmpinfo: cannot write the picture: cannot replace '/dev/null'"},
        {"over the file drawn", "--render kestrel.cmp kestrel.cmp",
         "cmpinfo: kestrel.cmp: the picture would replace the file it is drawn from"},
        {"over the file drawn, named otherwise", "--render ./folder/../kestrel.cmp kestrel.cmp",
         "the picture would replace the file it is drawn from"},
        {"no name", "--render '' kestrel.cmp", "--render needs a file name for the picture"},
        {"no value", "kestrel.cmp --render",
         "cmpinfo: --render needs a value\nTry 'cmpinfo --help'."},
        {"twice", "--render old.png --render new.png kestrel.cmp", "--render given twice"},
        {"size alone", "--size 640x480 kestrel.cmp", "--size goes with --render"},
        {"size too small", "--render new.png --size 100x100 kestrel.cmp",
         "--size takes WIDTHxHEIGHT in pixels, from 320x240 to 8192x8192, not '100x100'"},
        {"size too large", "--render new.png --size 640x9000 kestrel.cmp", "not '640x9000'"},
        {"with a report", "--check --render new.png kestrel.cmp", "leave out --check and --json"},
    };
    for (const Case& c : cases) {
        Write("old.png", Bytes{'o', 'l', 'd'});
        const ProgramRun run = Cmpinfo(c.arguments);
        EXPECT_EQ(run.status, 2) << c.what;
        EXPECT_EQ(run.out, "") << c.what;
        EXPECT_NE(run.err.find(c.err), std::string::npos) << c.what << ": " << run.err;
        EXPECT_EQ(ReadWholeFile(folder_.GetPath() / "old.png"), "old") << c.what;
        EXPECT_EQ(ReadWholeFileBytes(folder_.GetPath() / "kestrel.cmp"), kestrel) << c.what;
        EXPECT_EQ(folder_.Contents(),
                  (std::vector<std::string>{"broken.cmp", "cut.cmp", "folder", "kestrel.cmp",
                                            "old.png", "stderr", "stdout", "text.cmp"}))
            << c.what;
        EXPECT_TRUE(fs::is_empty(folder_.GetPath() / "folder")) << c.what;
    }
}

// A file of 1.1 MB that once made --check build 63 GB of problem text: every mode now
// runs in a small multiple of the file's size, in memory and in output alike.
TEST_F(CmpinfoProgramTest, HostileFileStaysWithinAFewTimesItsSize) {
    const Bytes bytes = LongNamedBrokenMeshFile();
    const std::string file = Write("hostile.cmp", bytes);
    const std::uint64_t size = bytes.size();
    const std::uint64_t memoryBound = 20 * size + ProgramAllowance;
    struct Case {
        std::vector<std::string> options;
        std::uint64_t outputBound;  // the tree lists every mesh: about 105 bytes per 12
    };
    const std::vector<Case> cases = {
        {{}, 8 * size},
        {{"--json"}, 8 * size},
        {{"--check"}, size / 8},
        {{"--check", "--json"}, size / 8},
    };
    for (Case c : cases) {
        c.options.push_back(file);
        // Past the limit an allocation fails, and the run ends with status 2.
        const LimitedRun run = CmpinfoLimited(c.options, MemoryIsLimitable ? memoryBound : 0);
        const std::string mode = c.options.size() > 1 ? c.options[0] : "tree";
        EXPECT_EQ(run.status, 1) << mode << ": " << run.err;
        EXPECT_LT(run.outputBytes, c.outputBound) << mode;
    }
}

// Files whose model once took hundreds of times their size to draw or convert: one stream
// that a thousand references share (1.8 GB for 540 KB), 21,845 one-triangle meshes (380 MB
// for 2.5 MB) and 65,535 one-vertex meshes (920 MB for 2.9 MB), each mesh of a material of
// its own. Every mode now runs within 20 times the file and 64 MiB of address space, which
// bounds all the memory it can take, and writes its picture or glTF whole.
TEST_F(CmpinfoProgramTest, HeavyModelsStayWithinTwentyTimesTheirSizeInEveryMode) {
    struct HeavyFile {
        const char* name;
        Bytes bytes;
        const char* pictureNote;  // what --render tells of the picture
    };
    const HeavyFile files[] = {
        {"shared.cmp", SharedStreamFile(100, 100, 1000), ""},
        {"triangles.cmp", ManySmallMeshesFile(21845, 3), ""},
        // The picture draws triangles only.
        {"points.cmp", ManySmallMeshesFile(65535, 1),
         ": no mesh data; the picture shows no model at all\n"},
    };
    struct Mode {
        std::vector<std::string> options;
        const char* written;  // the file it writes, if any
    };
    const Mode modes[] = {
        {{}, nullptr},
        {{"--json"}, nullptr},
        {{"--check"}, nullptr},
        {{"--render", folder_ / "out.png"}, "out.png"},
        {{"--gltf", folder_ / "out.glb"}, "out.glb"},
        {{"--gltf", folder_ / "out.gltf"}, "out.gltf"},
    };
    for (const HeavyFile& file : files) {
        const std::string path = Write(file.name, file.bytes);
        const std::uint64_t bound =
            20 * std::uint64_t{file.bytes.size()} + (std::uint64_t{64} << 20);
        for (const Mode& mode : modes) {
            std::vector<std::string> arguments = mode.options;
            arguments.push_back(path);
            const std::string what =
                std::string(file.name) + " " + (mode.options.empty() ? "tree" : mode.options[0]);
            const LimitedRun run = CmpinfoLimited(arguments, MemoryIsLimitable ? bound : 0);
            EXPECT_EQ(run.status, 0) << what << ": " << run.err;
            const bool drawn = !mode.options.empty() && mode.options[0] == "--render";
            EXPECT_EQ(run.err,
                      drawn && *file.pictureNote ? "cmpinfo: " + path + file.pictureNote : "")
                << what;
            if (mode.written) {
                const fs::path written = folder_.GetPath() / mode.written;
                EXPECT_TRUE(fs::exists(written) && fs::file_size(written) > 0) << what;
                fs::remove(written);
            }
        }
    }
}

// The most triangles a byte of a file can hold: 40 streams of 21,845 triangles over three
// vertices each, 5.3 MB. The picture once held about 190 bytes for each six-byte triangle
// (222 MB, past the 168 MB allowed); it now keeps the corners apart from the triangles
// and sorts sixteen bytes each.
TEST_F(CmpinfoProgramTest, ATriangleDenseModelIsDrawnWithinTwentyTimesItsSize) {
    const Bytes bytes = ManyStreamsFile(40, 21845);
    const std::string path = Write("dense.cmp", bytes);
    const std::uint64_t bound = 20 * std::uint64_t{bytes.size()} + (std::uint64_t{64} << 20);
    const LimitedRun run =
        CmpinfoLimited({"--render", folder_ / "out.png", "--size", "320x240", path},
                       MemoryIsLimitable ? bound : 0);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_GT(fs::file_size(folder_.GetPath() / "out.png"), 0u);
}

TEST_F(CmpinfoProgramTest, ReadsNoFurtherThanATreeFileReaches) {
    const Bytes good = ModelFile();
    Write("ship.cmp", good);
    Write("huge.cmp", {});
    fs::resize_file(folder_.GetPath() / "huge.cmp", std::uint64_t{1} << 32);  // sparse
    Write("largest.cmp", {});
    fs::resize_file(folder_.GetPath() / "largest.cmp", MaxTreeFileSize);
    Bytes claimsMore = good;
    StoreU32(&claimsMore[UtfStringBlockSizeField], 0x7FFFFFFF);
    Write("claims.cmp", claimsMore);
    const std::string fromFile = Cmpinfo("ship.cmp").out;
    const std::string shown = fromFile.substr(fromFile.find(':'));
    struct Case {
        const char* what;
        const char* input;  // piped into cmpinfo's standard input, which it then reads
        const char* file;
        int status;
        const char* out;  // a part of standard output; null: nothing
        const char* err;  // a part of standard error; null: nothing
    };
    const std::vector<Case> cases = {
        {"an endless device", "", "/dev/zero", 2, nullptr, "the magic is not \"UTF \" (at byte 0)"},
        {"a pipe", "cat ship.cmp", "/dev/stdin", 0, shown.c_str(), nullptr},
        {"a pipe that goes on after the tree", "cat ship.cmp /dev/zero", "/dev/stdin", 0,
         shown.c_str(), nullptr},
        {"a pipe cut short", "head -c 100 ship.cmp", "/dev/stdin", 2, nullptr,
         "not a readable tree file: the node block"},
        {"a pipe whose header claims more than comes", "cat claims.cmp", "/dev/stdin", 2, nullptr,
         "the string block (2147483647 bytes at"},
        {"a file past what 32-bit offsets address", "", "huge.cmp", 2, nullptr,
         "huge.cmp: cannot read: longer than the 4 GiB"},
    };
    for (const Case& c : cases) {
        const ProgramRun run = Cmpinfo(c.file, "", c.input);
        EXPECT_EQ(run.status, c.status) << c.what << ": " << run.err;
        if (c.out) {
            EXPECT_NE(run.out.find(c.out), std::string::npos) << c.what << ": " << run.out;
        } else {
            EXPECT_EQ(run.out, "") << c.what;
        }
        if (c.err) {
            EXPECT_NE(run.err.find(c.err), std::string::npos) << c.what << ": " << run.err;
        } else {
            EXPECT_EQ(run.err, "") << c.what;
        }
    }

    // Under an address-space limit far below what either would take to hold whole: the
    // device is refused after its first 56 bytes, and the largest file a tree can be
    // fails to get its buffer and says so.
    if (MemoryIsLimitable) {
        const std::uint64_t limit = 4 * ProgramAllowance;
        const LimitedRun device = CmpinfoLimited({"/dev/zero"}, limit);
        EXPECT_EQ(device.status, 2) << device.err;
        EXPECT_NE(device.err.find("the magic is not"), std::string::npos) << device.err;
        const LimitedRun largest = CmpinfoLimited({(folder_ / "largest.cmp")}, limit);
        EXPECT_EQ(largest.status, 2) << largest.err;
        EXPECT_NE(largest.err.find("largest.cmp: out of memory"), std::string::npos) << largest.err;
    }
}

TEST_F(CmpinfoProgramTest, ALostReportIsAnError) {
    Write(EveryLeafFileName, UtfLayout(EveryLeafTree()).GetFileBytes());
    Write("hostile.cmp", LongNamedBrokenMeshFile());
    Write("ship.cmp", ModelFile());
    struct Case {
        std::string arguments;
        int status;
    };
    const std::vector<Case> cases = {
        // Reports that fit in the output buffer and fail only when it is flushed ...
        {"every_leaf.cmp", 2},
        {"--check every_leaf.cmp", 2},
        {"--check --json every_leaf.cmp", 2},
        {"--help", 2},
        {"--check --json ship.cmp", 2},
        // ... reports longer than the buffer, whose writes fail on the way ...
        {"hostile.cmp", 2},
        {"--json hostile.cmp", 2},
        {"--check hostile.cmp", 2},
        // ... and an empty report, which nothing can lose.
        {"--check ship.cmp", 0},
    };
    for (const Case& c : cases) {
        const ProgramRun run = Cmpinfo(c.arguments, "/dev/full");
        EXPECT_EQ(run.status, c.status) << c.arguments;
        EXPECT_EQ(run.err, c.status == 2 ? "cmpinfo: cannot write the report: No space left on "
                                           "device\n"
                                         : "")
            << c.arguments;
    }
}

}  // namespace

}  // namespace cmp
