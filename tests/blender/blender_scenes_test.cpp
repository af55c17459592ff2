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

#include "mesh/name_id.h"
#include "tests/support/file_contents.h"
#include "tests/support/scratch_folder.h"
#include "tools/cmpinfo/exported_model.h"
#include "utf/utf_reader.h"

namespace cmp {

namespace {

namespace fs = std::filesystem;
using Point = std::array<double, 3>;

constexpr const char* Formats[] = {"glb", "fbx", "obj", "dae"};
// The file's scale: the float nearest 1/92.
constexpr double FileScale = static_cast<double>(1.0f / 92.0f);

// Blender's world (Z up) as the file holds it. The four exporters all hand the model over
// Y up (x, z, -y); the file then scales by 1/92 and negates Y and Z.
Point BlenderToFile(const nlohmann::json& p) {
    const double x = p[0], y = p[1], z = p[2];
    return {x * FileScale, -z * FileScale, y * FileScale};
}

struct Triangle {
    std::array<Point, 3> corners;
    std::array<std::array<double, 2>, 3> uvs;  // v from the top, as the file holds it
    std::optional<std::uint32_t> material;     // its identifier, when Blender names one
};

struct Hardpoint {
    std::string name;  // the node's name in the file
    Point centre;
};

struct Scene {
    std::string name;
    std::vector<Triangle> triangles;  // of the meshes that are geometry
    std::vector<Hardpoint> hardpoints;
    double extent = 0;  // the largest coordinate, for the tolerance
};

// A hardpoint mesh's node name: what follows "Hp_Fixed_" or "Hp_Revolute_".
std::optional<std::string> HardpointNodeName(const std::string& meshName) {
    for (const std::string prefix : {"Hp_Fixed_", "Hp_Revolute_"}) {
        if (meshName.rfind(prefix, 0) == 0) {
            return meshName.substr(prefix.size());
        }
    }
    return std::nullopt;
}

Scene ReadScene(const std::string& name, const fs::path& json) {
    std::ifstream in(json);
    const nlohmann::json document = nlohmann::json::parse(in);
    Scene scene{name, {}, {}, 0};
    for (const nlohmann::json& object : document["objects"]) {
        const std::string objectName = object["name"];
        if (objectName.size() >= 2 && (objectName[0] == 'H' || objectName[0] == 'h') &&
            (objectName[1] == 'P' || objectName[1] == 'p')) {
            if (std::optional<std::string> node = HardpointNodeName(objectName)) {
                scene.hardpoints.push_back({*node, BlenderToFile(object["centre"])});
            }
            continue;
        }
        for (const nlohmann::json& face : object["triangles"]) {
            Triangle triangle;
            for (int c = 0; c < 3; ++c) {
                triangle.corners[c] = BlenderToFile(face["corners"][c]);
                const double u = face["uv"][c][0], v = face["uv"][c][1];
                triangle.uvs[c] = {u, 1.0 - v};
                for (double value : triangle.corners[c]) {
                    scene.extent = std::max(scene.extent, std::abs(value));
                }
            }
            if (!face["material"].is_null()) {
                triangle.material = NameId(face["material"].get<std::string>().c_str());
            }
            scene.triangles.push_back(triangle);
        }
    }
    return scene;
}

int RunShell(const std::string& command) {
    const int raw = std::system(command.c_str());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

// Blender from an environment of the system's own: another Python on the path can lend
// Blender its library folders.
void MakeScenes(const fs::path& folder, const std::vector<std::string>& scenes) {
    std::string command =
        "env -u PYTHONPATH -u PYTHONHOME PATH=/usr/local/bin:/usr/bin:/bin "
        "blender --background --factory-startup --python-exit-code 1 --python " +
        std::string(SOURCE_DIR) + "/tests/blender/make_scenes.py -- " + folder.string();
    for (const std::string& scene : scenes) {
        command += " " + scene;
    }
    command += " >" + (folder / "blender.log").string() + " 2>&1";
    if (RunShell(command) != 0) {
        throw std::runtime_error("Blender could not make the scenes:\n" +
                                 ReadWholeFile((folder / "blender.log").string()));
    }
}

struct Export {
    int status = -1;
    std::string errors;
    StoredModel model;
};

// modelhost --save-as in a folder of its own, then the written file read back.
Export ExportWithModelHost(const fs::path& modelFile) {
    ScratchFolder work(ScratchFolder::Enter::Yes, "blender-export");
    Export result;
    result.status = RunShell(std::string("env -u DISPLAY -u WAYLAND_DISPLAY ") + MODELHOST_PATH +
                             " --save-as out.cmp " + modelFile.string() +
                             " </dev/null >stdout.txt 2>stderr.txt");
    result.errors = ReadWholeFile("stderr.txt");
    if (result.status != 0) {
        return result;
    }
    NodeTree tree;
    const Bytes bytes = ReadWholeFileBytes("out.cmp");
    if (Status read = ReadUtfFile(bytes, tree); !read) {
        result.status = -2;
        result.errors += read.message();
        return result;
    }
    Result<StoredModel> model = ReadStoredModel(tree);
    if (!model) {
        result.status = -2;
        result.errors += model.message();
        return result;
    }
    result.model = model.value();
    return result;
}

bool Near(const Point& a, const Point& b, double tolerance) {
    for (int i = 0; i < 3; ++i) {
        if (std::abs(a[i] - b[i]) > tolerance) {
            return false;
        }
    }
    return true;
}

Point ToPoint(const std::array<float, 3>& p) {
    return {p[0], p[1], p[2]};
}

struct Tally {
    std::size_t matched = 0;
    std::size_t inward = 0;     // in place, but the corners run the other way
    std::size_t misplaced = 0;  // no triangle of the file there
    std::size_t wrongUv = 0;
    std::size_t wrongMaterial = 0;
};

// Each of Blender's triangles against the file's: the same three corners, in the same
// turning order (starting at any corner), with the same texture coordinates.
Tally CompareTriangles(const Scene& scene, const StoredModel& model, double tolerance) {
    struct FileTriangle {
        Triangle triangle;
        bool used = false;
    };
    std::vector<FileTriangle> file;
    for (const StoredMesh& mesh : model.meshes) {
        for (std::size_t t = 0; t + 2 < mesh.indices.size(); t += 3) {
            FileTriangle entry;
            for (int c = 0; c < 3; ++c) {
                const StoredVertex& vertex = mesh.vertices.at(mesh.indices[t + c]);
                entry.triangle.corners[c] = ToPoint(vertex.position);
                entry.triangle.uvs[c] = {vertex.uv[0], vertex.uv[1]};
            }
            entry.triangle.material = mesh.material;
            file.push_back(entry);
        }
    }
    Tally tally;
    for (const Triangle& wanted : scene.triangles) {
        bool found = false;
        bool foundInward = false;
        for (FileTriangle& candidate : file) {
            if (candidate.used) {
                continue;
            }
            const auto& corners = candidate.triangle.corners;
            for (int start = 0; start < 3 && !found; ++start) {
                auto at = [&](int c, int direction) { return (start + direction * c + 3) % 3; };
                if (Near(wanted.corners[0], corners[at(0, 1)], tolerance) &&
                    Near(wanted.corners[1], corners[at(1, 1)], tolerance) &&
                    Near(wanted.corners[2], corners[at(2, 1)], tolerance)) {
                    found = true;
                    candidate.used = true;
                    bool uvsMatch = true;
                    for (int c = 0; c < 3; ++c) {
                        const auto& uv = candidate.triangle.uvs[at(c, 1)];
                        uvsMatch = uvsMatch && std::abs(uv[0] - wanted.uvs[c][0]) < 1e-4 &&
                                   std::abs(uv[1] - wanted.uvs[c][1]) < 1e-4;
                    }
                    tally.wrongUv += uvsMatch ? 0 : 1;
                    tally.wrongMaterial +=
                        wanted.material && candidate.triangle.material != wanted.material ? 1 : 0;
                } else if (Near(wanted.corners[0], corners[at(0, -1)], tolerance) &&
                           Near(wanted.corners[1], corners[at(1, -1)], tolerance) &&
                           Near(wanted.corners[2], corners[at(2, -1)], tolerance)) {
                    foundInward = true;
                }
            }
            if (found) {
                break;
            }
        }
        if (found) {
            ++tally.matched;
        } else if (foundInward) {
            ++tally.inward;
        } else {
            ++tally.misplaced;
        }
    }
    return tally;
}

class BlenderScenes : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        folder_ = std::make_unique<ScratchFolder>(ScratchFolder::Enter::No, "blender-scenes");
        std::vector<std::string> scenes = {"ship", "random:1", "random:2"};
        if (const char* extra = std::getenv("CMPEXPORT_BLENDER_RANDOM")) {
            const char* given = std::getenv("CMPEXPORT_BLENDER_SEED");
            const long seed =
                given != nullptr ? std::atol(given) : static_cast<long>(std::time(nullptr));
            std::printf(
                "random Blender scenes from seed %ld (CMPEXPORT_BLENDER_SEED=%ld repeats them)\n",
                seed, seed);
            for (long i = 0; i < std::atol(extra); ++i) {
                scenes.push_back("random:" + std::to_string(seed + i));
            }
        }
        MakeScenes(folder_->GetPath(), scenes);
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
        const Scene scene = ReadScene(name, PathOf(name, "json"));
        const double tolerance = 1e-5 * scene.extent + 1e-7;
        for (const char* format : Formats) {
            SCOPED_TRACE(name + "." + format);
            const Export exported = ExportWithModelHost(PathOf(name, format));
            ASSERT_EQ(exported.status, 0) << exported.errors;
            const Tally tally = CompareTriangles(scene, exported.model, tolerance);
            EXPECT_EQ(tally.matched, scene.triangles.size())
                << tally.inward << " of " << scene.triangles.size() << " triangles face inward, "
                << tally.misplaced << " are not in place";
            EXPECT_EQ(tally.wrongUv, 0u) << "texture coordinates";
            EXPECT_EQ(tally.wrongMaterial, 0u) << "materials";
            std::size_t fileTriangles = 0;
            for (const StoredMesh& mesh : exported.model.meshes) {
                fileTriangles += mesh.indices.size() / 3;
            }
            EXPECT_EQ(fileTriangles, scene.triangles.size()) << "triangles the scene does not have";

            ASSERT_EQ(exported.model.hardpoints.size(), scene.hardpoints.size());
            for (const Hardpoint& wanted : scene.hardpoints) {
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
