// Runs the cmpinfo program itself on good, broken, truncated and hostile files, from
// pipes and devices, and onto a full disk.
#include <fcntl.h>
#include <gtest/gtest.h>

#if __has_include(<valgrind/valgrind.h>)
#include <valgrind/valgrind.h>
#endif
#include <poll.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "mesh/mesh.h"
#include "tests/support/file_contents.h"
#include "tests/support/scratch_folder.h"
#include "tests/tools/every_leaf_tree.h"
#include "tests/tools/heavy_models.h"
#include "tests/tools/hostile_files.h"
#include "tests/tools/model_tree.h"
#include "tests/tools/picture_pixels.h"
#include "tests/tree/mesh_fixtures.h"
#include "tools/cmpinfo/picture/picture.h"
#include "tools/cmpinfo/read/read.h"
#include "tree/tree.h"
#include "utf/utf.h"

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

struct StoppedRun {
    bool signalled;  // false: the run ended before it wrote anything to stop it in
    int status;      // as waitpid gives it
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
    // execv's arguments: cmpinfo, then `arguments` (which must outlive them), then null.
    static std::vector<char*> CmpinfoArgv(const std::vector<std::string>& arguments) {
        std::vector<char*> argv = {const_cast<char*>(CMPINFO_PATH)};
        for (const std::string& argument : arguments) {
            argv.push_back(const_cast<char*>(argument.c_str()));
        }
        argv.push_back(nullptr);
        return argv;
    }
    // Runs cmpinfo as a child of its own, its address space limited to `addressLimit`
    // bytes (none: 0), which bounds all the memory it can ever take, resident or not. (The
    // child's peak resident size as getrusage tells it would include this test program's
    // own, which fork copies and exec counts.)
    LimitedRun CmpinfoLimited(const std::vector<std::string>& arguments,
                              std::uint64_t addressLimit = 0) {
        const std::string out = folder_ / "measured.out";
        const std::string err = folder_ / "measured.err";
        std::vector<char*> argv = CmpinfoArgv(arguments);
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

    // Starts cmpinfo with `arguments` as they are (no shell between), from the folder, its
    // output into the folder's "stdout" and "stderr". SIGINT and SIGTERM do what they do by
    // default, whatever this test inherited (a background job ignores SIGINT).
    pid_t StartCmpinfo(const std::vector<std::string>& arguments) {
        std::vector<char*> argv = CmpinfoArgv(arguments);
        const pid_t child = ::fork();
        if (child == 0) {
            std::signal(SIGINT, SIG_DFL);
            std::signal(SIGTERM, SIG_DFL);
            if (::chdir(folder_.GetPath().c_str()) != 0) {
                ::_exit(126);
            }
            const int outFile = ::open("stdout", O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int errFile = ::open("stderr", O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (outFile < 0 || errFile < 0 || ::dup2(outFile, 1) < 0 || ::dup2(errFile, 2) < 0) {
                ::_exit(126);
            }
            ::execv(CMPINFO_PATH, argv.data());
            ::_exit(127);
        }
        EXPECT_GT(child, 0);
        return child;
    }
    // Runs cmpinfo as StartCmpinfo does and waits for it.
    ProgramRun CmpinfoDirect(const std::vector<std::string>& arguments) {
        const pid_t child = StartCmpinfo(arguments);
        int status = 0;
        EXPECT_EQ(::waitpid(child, &status, 0), child);
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, Slurp(folder_ / "stdout"),
                Slurp(folder_ / "stderr")};
    }
    // Runs cmpinfo as StartCmpinfo does and sends it `signal` the moment it creates a
    // staging file (a name ending in ".tmp"), which inotify tells as it happens: its bytes
    // are all still to come, and the rename after them.
    StoppedRun CmpinfoStoppedWhileWriting(const std::vector<std::string>& arguments, int signal) {
        const int watch = ::inotify_init1(IN_CLOEXEC);
        EXPECT_GE(watch, 0);
        EXPECT_GE(::inotify_add_watch(watch, folder_.GetPath().c_str(), IN_CREATE), 0);
        const pid_t child = StartCmpinfo(arguments);
        int status = 0;
        alignas(inotify_event) char events[4096];
        for (;;) {
            pollfd ready{watch, POLLIN, 0};
            if (::poll(&ready, 1, 100) <= 0) {
                if (::waitpid(child, &status, WNOHANG) == child) {
                    ::close(watch);
                    return {false, status};
                }
                continue;
            }
            const ssize_t length = ::read(watch, events, sizeof events);
            for (ssize_t at = 0; at < length;) {
                const auto* event = reinterpret_cast<const inotify_event*>(events + at);
                if (event->len > 0 && std::string_view(event->name).ends_with(".tmp")) {
                    ::kill(child, signal);
                    EXPECT_EQ(::waitpid(child, &status, 0), child);
                    ::close(watch);
                    return {true, status};
                }
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
    }

    // A tree file larger than the exporter ever makes, which the checks pass all the same:
    // one library entry whose one mesh holds as many vertices and triangles as a stream
    // may, small triangles facing every way scattered at random (a picture of them
    // compresses badly), and `parts` parts that each reference it, so that its glTF holds
    // the mesh as many times.
    static Bytes LargeModelFile(int parts) {
        std::mt19937 random(7);
        std::uniform_real_distribution<float> place(-1.0f, 1.0f);
        std::uniform_real_distribution<float> offset(-0.02f, 0.02f);
        ExportMesh mesh = MakeMesh("Ship", {});
        while (mesh.vertices.size() + 3 <= MaxStreamVertices) {
            const float centre[3] = {place(random), place(random), place(random)};
            for (int corner = 0; corner < 3; ++corner) {
                mesh.triangles.push_back(static_cast<std::uint16_t>(mesh.vertices.size()));
                mesh.vertices.push_back(
                    ExportVertex{{centre[0] + offset(random), centre[1] + offset(random),
                                  centre[2] + offset(random)},
                                 {0.0f, 1.0f, 0.0f},
                                 0.5f,
                                 0.5f});
            }
            mesh.faceNormals.push_back({0.0f, 1.0f, 0.0f});
        }
        const MeshList meshes = {std::move(mesh)};
        NodeTree tree;
        BuildCompoundLayout(tree, meshes, BuildMeshDataStream(meshes));
        const Payload* record = tree.GetPayload(FindNode(tree, "VMeshRef"));
        const Bytes reference(record->bytes.begin(), record->bytes.end());
        for (int i = 1; i < parts; ++i) {
            const NodeHandle part = tree.InsertNode(tree.GetRoot(), "Part" + std::to_string(i));
            tree.SetPayload(tree.InsertNode(part, "VMeshRef"), reference);
        }
        return UtfLayout(tree).GetFileBytes();
    }

    // A model without mesh data: hardpoints alone.
    static Bytes OnlyHardpointsFile() {
        return ReadWholeFileBytes(std::string(CMP_SOURCE_DIR) +
                                  "/tests/models/golden/only_hardpoints.cmp");
    }

    // A model the checks pass, two of whose three triangles have a corner that is not a
    // finite number.
    static Bytes NotFiniteModelFile() {
        const float nan = std::numeric_limits<float>::quiet_NaN();
        const float inf = std::numeric_limits<float>::infinity();
        const MeshList meshes = {
            MakeMesh("Ship", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {nan, 0, 0}, {0, 0, inf}},
                     {0, 1, 2, 0, 1, 3, 4, 1, 2}, {{0, 0, 1}, {0, 0, 1}, {0, 0, 1}}),
            MakeMesh("Hp_Fixed_Gun", {{0, 1, 0}})};
        NodeTree tree;
        BuildCompoundLayout(tree, meshes, BuildMeshDataStream(meshes));
        return UtfLayout(tree).GetFileBytes();
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
    const Result<StoredModel> model = LoadCheckedModel(KestrelFile);
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
    Write("only_hardpoints.cmp", OnlyHardpointsFile());
    Write("nan.cmp", NotFiniteModelFile());
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
         "cmpinfo: cannot write the picture: the folder 'none' does not exist"},
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

// Stopped by SIGINT or SIGTERM while it writes, a run takes its staging file with it and
// ends by the signal, as a shell expects of it; a file it was to replace stays as it was.
TEST_F(CmpinfoProgramTest, AStopWhileWritingLeavesNothingBehind) {
    // Some 35 MB of glTF, 2 MB of picture: each takes a while to write, even to memory.
    Write("large.cmp", LargeModelFile(16));
    Write("part.cmp", LargeModelFile(1));
    const std::vector<std::string> untouched = {"large.cmp", "old.glb", "part.cmp", "stderr",
                                                "stdout"};
    struct Case {
        std::vector<std::string> arguments;
        int signal;
    };
    const std::vector<Case> cases = {
        {{"--gltf", "new.gltf", "large.cmp"}, SIGTERM},
        {{"--gltf", "old.glb", "large.cmp"}, SIGINT},
        {{"--render", "new.png", "part.cmp"}, SIGINT},
    };
    for (const Case& c : cases) {
        const std::string what = c.arguments[0] + " " + c.arguments[1] + ", " + strsignal(c.signal);
        const fs::path output = folder_.GetPath() / c.arguments[1];
        // A run that finished its file all the same before the signal came (the file whole
        // and in place) shows nothing either way: it is run again, a few times at most.
        bool caught = false;
        for (int attempt = 0; attempt < 5 && !caught; ++attempt) {
            Write("old.glb", Bytes{'o', 'l', 'd'});
            const StoppedRun run = CmpinfoStoppedWhileWriting(c.arguments, c.signal);
            ASSERT_TRUE(run.signalled)
                << what << ": ended before it wrote: " << Slurp(folder_ / "stderr");
            const std::vector<std::string> left = folder_.Contents();
            EXPECT_TRUE(std::none_of(left.begin(), left.end(), [](const std::string& name) {
                return name.ends_with(".tmp");
            })) << what;
            if (c.arguments[1] == "old.glb" ? ReadWholeFile(output) != "old" : fs::exists(output)) {
                fs::remove(output);
                continue;
            }
            caught = true;
            EXPECT_TRUE(WIFSIGNALED(run.status) && WTERMSIG(run.status) == c.signal)
                << what << ": status " << run.status;
            EXPECT_EQ(left, untouched) << what;
        }
        EXPECT_TRUE(caught) << what << ": every run finished its file before the signal came";
    }
}

// An output that must not or cannot be written is refused, in words about what the user
// gave, and nothing is staged: a file marked read-only (as a save dialog refuses one),
// reached by its name or through a link, and a folder that does not exist or is no folder.
TEST_F(CmpinfoProgramTest, RefusesAnOutputItMustNotWrite) {
    Write("ship.cmp", ModelFile());
    Write("file", Bytes{'m', 'i', 'n', 'e'});
    for (const char* name : {"kept.png", "kept.glb"}) {
        Write(name, Bytes{'m', 'i', 'n', 'e'});
        fs::permissions(folder_.GetPath() / name, fs::perms(0444));
    }
    fs::create_symlink("kept.glb", folder_.GetPath() / "link.gltf");
    const std::vector<std::string> before = {"file",     "kept.glb", "kept.png", "link.gltf",
                                             "ship.cmp", "stderr",   "stdout"};
    struct Case {
        std::vector<std::string> arguments;
        std::string err;
    };
    const std::string readOnly =
        "': the file is read-only; make it writable or choose another name\n";
    const std::vector<Case> cases = {
        {{"--render", "kept.png", "ship.cmp"},
         "cmpinfo: cannot write the picture: cannot replace 'kept.png" + readOnly},
        {{"--gltf", "kept.glb", "ship.cmp"},
         "cmpinfo: cannot write the glTF file: cannot replace 'kept.glb" + readOnly},
        {{"--gltf", "link.gltf", "ship.cmp"},
         "cmpinfo: cannot write the glTF file: cannot replace 'link.gltf" + readOnly},
        {{"--render", "none/new.png", "ship.cmp"},
         "cmpinfo: cannot write the picture: the folder 'none' does not exist\n"},
        {{"--gltf", "none/deeper/new.glb", "ship.cmp"},
         "cmpinfo: cannot write the glTF file: the folder 'none/deeper' does not exist\n"},
        {{"--gltf", "file/new.gltf", "ship.cmp"},
         "cmpinfo: cannot write the glTF file: 'file' is not a folder\n"},
    };
    for (const Case& c : cases) {
        const std::string what = c.arguments[0] + " " + c.arguments[1];
        const ProgramRun run = CmpinfoDirect(c.arguments);
        EXPECT_EQ(run.status, 2) << what;
        EXPECT_EQ(run.out, "") << what;
        EXPECT_EQ(run.err, c.err) << what;
        EXPECT_EQ(folder_.Contents(), before) << what;
        for (const char* name : {"kept.png", "kept.glb", "file"}) {
            EXPECT_EQ(ReadWholeFile(folder_.GetPath() / name), "mine") << what << ": " << name;
        }
        EXPECT_EQ(fs::status(folder_.GetPath() / "kept.glb").permissions(), fs::perms(0444))
            << what;
    }
}

// Paths holding control characters reach standard error escaped, in every message that
// names one: an escape sequence in a file's name can neither retitle nor clear the
// terminal, nor a line break in it split the message.
TEST_F(CmpinfoProgramTest, ControlCharactersInPathsAreEscapedInEveryMessage) {
    // In the table, '@' stands for a name that retitles the terminal, rings its bell, clears
    // the screen and breaks the line, and '#' for a path of it too long for the system.
    const std::string odd = "ship\x1B]0;title\x07\x1B[2J\n";
    const std::string shown = "ship\\x1B]0;title\\x07\\x1B[2J\\x0A";
    std::string tooLong = odd + "/";
    for (int i = 0; i < 2100; ++i) {
        tooLong += "./";
    }
    const auto fill = [&](std::string text, const std::string& name, const std::string& path) {
        for (std::size_t at = text.find_first_of("@#"); at != std::string::npos;
             at = text.find_first_of("@#", at)) {
            const std::string& by = text[at] == '@' ? name : path;
            text.replace(at, 1, by);
            at += by.size();
        }
        return text;
    };
    Write(odd + ".cmp", ModelFile());
    Write(odd + ".glb", ModelFile());  // a tree file under a glTF's name
    Write(odd + "broken.cmp", ModelFile(2));
    Write(odd + "hardpoints.cmp", OnlyHardpointsFile());
    Write(odd + "nan.cmp", NotFiniteModelFile());
    Write(odd + ".png", Bytes{'o', 'l', 'd'});
    fs::permissions(folder_.GetPath() / (odd + ".png"), fs::perms(0444));
    struct Case {
        const char* arguments;  // separated by spaces
        int status;
        const char* err;  // after "cmpinfo: ": all of it, or its start ...
        const char* end;  // ... and the end of its one line
    };
    const Case cases[] = {
        {"@missing.cmp", 2, "@missing.cmp: cannot read: No such file or directory\n", ""},
        {"--render new.png @broken.cmp", 2,
         "@broken.cmp: 1 problem found by the checks, the first: ", "holds 1\n"},
        {"--render new.png --size 400x300 @hardpoints.cmp", 0,
         "@hardpoints.cmp: no mesh data; the picture shows the hardpoints alone\n", ""},
        {"--render new.png --size 400x300 @nan.cmp", 0,
         "@nan.cmp: left out of the picture for coordinates that are not finite numbers: 2 "
         "triangles\n",
         ""},
        {"--gltf new.gltf @nan.cmp", 2, "@nan.cmp: mesh \"Ship.lod0.vms mesh 0\" vertex ",
         "which a glTF file cannot hold\n"},
        {"--render @.cmp @.cmp", 2, "@.cmp: the picture would replace the file it is drawn from\n",
         ""},
        {"--gltf @.glb @.glb", 2, "@.glb: the glTF would replace the file it is made from\n", ""},
        {"--gltf #new.gltf @.cmp", 2, "cannot write the glTF file: cannot create '@/./././",
         ".tmp': File name too long\n"},
        {"--gltf @/new.gltf @.cmp", 2,
         "cannot write the glTF file: the folder '@' does not exist\n", ""},
        {"--render @.png @.cmp", 2,
         "cannot write the picture: cannot replace '@.png': the file is read-only; make it "
         "writable or choose another name\n",
         ""},
        {"--@ @.cmp", 2, "unknown option '--@'\nTry 'cmpinfo --help'.\n", ""},
    };
    for (const Case& c : cases) {
        std::vector<std::string> arguments;
        std::istringstream words(c.arguments);
        for (std::string word; words >> word;) {
            arguments.push_back(fill(word, odd, tooLong));
        }
        const std::string err = "cmpinfo: " + fill(c.err, shown, shown);
        const ProgramRun run = CmpinfoDirect(arguments);
        EXPECT_EQ(run.status, c.status) << c.arguments << ": " << run.err;
        if (*c.end == '\0') {
            EXPECT_EQ(run.err, err) << c.arguments;
        } else {
            EXPECT_EQ(run.err.substr(0, err.size()), err) << c.arguments;
            EXPECT_TRUE(run.err.ends_with(c.end)) << c.arguments << ": " << run.err;
            EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << c.arguments;
        }
        fs::remove(folder_.GetPath() / "new.png");
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
