#include "tests/blender/scene_check.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <stdexcept>

#include "mesh/mesh.h"
#include "tests/support/file_contents.h"
#include "tests/support/scratch_folder.h"
#include "utf/utf.h"

namespace cmp {

namespace {

// The float nearest 1/92, the file's scale.
constexpr double FileScale = static_cast<double>(1.0f / 92.0f);

// A hardpoint mesh's node name: what follows "Hp_Fixed_" or "Hp_Revolute_".
std::optional<std::string> HardpointNodeName(const std::string& meshName) {
    for (const std::string prefix : {"Hp_Fixed_", "Hp_Revolute_"}) {
        if (meshName.rfind(prefix, 0) == 0) {
            return meshName.substr(prefix.size());
        }
    }
    return std::nullopt;
}

bool IsHardpointMesh(const std::string& name) {
    return name.size() >= 2 && (name[0] == 'H' || name[0] == 'h') &&
           (name[1] == 'P' || name[1] == 'p');
}

}  // namespace

Point BlenderToFile(const nlohmann::json& point) {
    const double x = point[0], y = point[1], z = point[2];
    return {x * FileScale, -z * FileScale, y * FileScale};
}

Point BlenderDirectionToFile(const nlohmann::json& direction) {
    const double x = direction[0], y = direction[1], z = direction[2];
    return {x, -z, y};
}

Scene ReadScene(const nlohmann::json& document) {
    Scene scene;
    for (const nlohmann::json& object : document["objects"]) {
        const std::string objectName = object["name"];
        if (IsHardpointMesh(objectName)) {
            if (std::optional<std::string> node = HardpointNodeName(objectName)) {
                scene.hardpoints.push_back({*node, BlenderToFile(object["centre"])});
            }
            continue;
        }
        for (const nlohmann::json& face : object["triangles"]) {
            Triangle triangle;
            for (std::size_t c = 0; c < 3; ++c) {
                triangle.corners[c] = BlenderToFile(face["corners"][c]);
                const double u = face["uv"][c][0], v = face["uv"][c][1];
                triangle.uvs[c] = {u, 1.0 - v};
                for (double value : triangle.corners[c]) {
                    scene.extent = std::max(scene.extent, std::abs(value));
                }
            }
            if (face.contains("normals")) {
                triangle.normals.emplace();
                for (std::size_t c = 0; c < 3; ++c) {
                    (*triangle.normals)[c] = BlenderDirectionToFile(face["normals"][c]);
                }
                triangle.faceNormal = BlenderDirectionToFile(face["face_normal"]);
            }
            if (!face["material"].is_null()) {
                triangle.material = NameId(face["material"].get<std::string>().c_str());
            }
            scene.triangles.push_back(triangle);
        }
    }
    return scene;
}

Scene ReadScene(const std::filesystem::path& json) {
    std::ifstream in(json);
    return ReadScene(nlohmann::json::parse(in));
}

std::vector<Triangle> FileTriangles(const StoredModel& model) {
    std::vector<Triangle> triangles;
    for (const StoredMesh& mesh : model.meshes) {
        for (std::size_t t = 0; t + 2 < mesh.indices.size(); t += 3) {
            Triangle triangle;
            for (std::size_t c = 0; c < 3; ++c) {
                const StoredVertex& vertex = mesh.vertices.at(mesh.indices[t + c]);
                triangle.corners[c] = ToPoint(vertex.position);
                triangle.uvs[c] = {vertex.uv[0], vertex.uv[1]};
            }
            triangle.normals.emplace();
            for (std::size_t c = 0; c < 3; ++c) {
                (*triangle.normals)[c] = ToPoint(mesh.vertices.at(mesh.indices[t + c]).normal);
            }
            triangle.material = mesh.material;
            triangles.push_back(triangle);
        }
    }
    return triangles;
}

bool Near(const Point& a, const Point& b, double tolerance) {
    for (std::size_t i = 0; i < 3; ++i) {
        if (std::abs(a[i] - b[i]) > tolerance) {
            return false;
        }
    }
    return true;
}

Point ToPoint(const std::array<float, 3>& point) {
    return {point[0], point[1], point[2]};
}

namespace {

// Corner c of a triangle read from `start`, forwards or backwards.
std::size_t CornerAt(std::size_t start, std::size_t c, bool backwards) {
    return backwards ? (start + 3 - c) % 3 : (start + c) % 3;
}

struct Match {
    std::size_t wanted;
    std::size_t found;
    std::size_t start;  // the found triangle's corner that is the wanted one's first
};

Tally MatchTriangles(const std::vector<Triangle>& wanted, const std::vector<Triangle>& found,
                     double tolerance, std::vector<Match>& matches) {
    std::vector<bool> used(found.size(), false);
    const auto at = CornerAt;
    auto sameCorners = [&](const Triangle& a, const Triangle& b, std::size_t start,
                           bool backwards) {
        for (std::size_t c = 0; c < 3; ++c) {
            if (!Near(a.corners[c], b.corners[at(start, c, backwards)], tolerance)) {
                return false;
            }
        }
        return true;
    };
    Tally tally;
    for (std::size_t w = 0; w < wanted.size(); ++w) {
        const Triangle& triangle = wanted[w];
        bool inward = false;
        std::optional<std::pair<std::size_t, std::size_t>> match;  // found index, start
        for (std::size_t f = 0; f < found.size() && !match; ++f) {
            for (std::size_t start = 0; start < 3 && !used[f]; ++start) {
                if (sameCorners(triangle, found[f], start, false)) {
                    match = std::make_pair(f, start);
                    break;
                }
                inward = inward || sameCorners(triangle, found[f], start, true);
            }
        }
        if (!match) {
            ++(inward ? tally.inward : tally.misplaced);
            continue;
        }
        const auto [f, start] = *match;
        used[f] = true;
        matches.push_back({w, f, start});
        ++tally.matched;
        bool uvsMatch = true;
        for (std::size_t c = 0; c < 3; ++c) {
            const auto& uv = found[f].uvs[at(start, c, false)];
            uvsMatch = uvsMatch && std::abs(uv[0] - triangle.uvs[c][0]) < 1e-4 &&
                       std::abs(uv[1] - triangle.uvs[c][1]) < 1e-4;
        }
        tally.wrongUv += uvsMatch ? 0 : 1;
        tally.wrongMaterial += triangle.material && found[f].material != triangle.material ? 1 : 0;
    }
    return tally;
}

}  // namespace

Tally CompareTriangles(const std::vector<Triangle>& wanted, const std::vector<Triangle>& found,
                       double tolerance) {
    std::vector<Match> matches;
    return MatchTriangles(wanted, found, tolerance, matches);
}

namespace {

double AngleBetween(const Point& a, const Point& b) {
    const double dot = a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
    const double lengths = std::sqrt((a[0] * a[0] + a[1] * a[1] + a[2] * a[2]) *
                                     (b[0] * b[0] + b[1] * b[1] + b[2] * b[2]));
    return lengths > 0 ? std::acos(std::clamp(dot / lengths, -1.0, 1.0)) : M_PI;
}

}  // namespace

ShadingTally CompareNormals(const std::vector<Triangle>& wanted, const std::vector<Triangle>& found,
                            double tolerance) {
    std::vector<Match> matches;
    MatchTriangles(wanted, found, tolerance, matches);
    ShadingTally tally;
    for (const Match& match : matches) {
        const Triangle& blender = wanted[match.wanted];
        const Triangle& file = found[match.found];
        if (!blender.normals || !file.normals) {
            continue;
        }
        for (std::size_t c = 0; c < 3; ++c) {
            const Point& shown = (*blender.normals)[c];
            const double off =
                AngleBetween(shown, (*file.normals)[CornerAt(match.start, c, false)]);
            // Blender gives a corner its face's normal to the last bit or two when the face
            // is flat or alone in its fan.
            if (AngleBetween(shown, *blender.faceNormal) < 1e-4) {
                ++tally.flatCorners;
                tally.flatWorst = std::max(tally.flatWorst, off);
            } else {
                ++tally.smoothCorners;
                tally.smoothWorst = std::max(tally.smoothWorst, off);
            }
        }
    }
    return tally;
}

void ExpectSameTriangles(const std::vector<Triangle>& wanted, const std::vector<Triangle>& found,
                         double tolerance) {
    ASSERT_FALSE(wanted.empty());
    const Tally tally = CompareTriangles(wanted, found, tolerance);
    EXPECT_EQ(tally.matched, wanted.size())
        << tally.inward << " of " << wanted.size() << " triangles face inward, " << tally.misplaced
        << " are not in place";
    EXPECT_EQ(tally.wrongUv, 0u) << "texture coordinates";
    EXPECT_EQ(tally.wrongMaterial, 0u) << "materials";
    EXPECT_EQ(found.size(), wanted.size()) << "triangles found that are not wanted";
}

int RunShell(const std::string& command) {
    const int raw = std::system(command.c_str());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

void RunBlenderScript(const std::string& script, const std::string& arguments,
                      const std::filesystem::path& log, const std::string& environment) {
    // Another Python on the path can lend Blender its library folders.
    const std::string command =
        "env -u PYTHONPATH -u PYTHONHOME PATH=/usr/local/bin:/usr/bin:/bin " + environment +
        " blender --background --factory-startup --python-exit-code 1 --python " +
        std::string(SOURCE_DIR) + "/tests/blender/" + script + " -- " + arguments + " >'" +
        log.string() + "' 2>&1";
    if (RunShell(command) != 0) {
        throw std::runtime_error("Blender failed running " + script + ":\n" + ReadWholeFile(log));
    }
}

Export ExportWithModelHost(const std::filesystem::path& modelFile, const std::string& arguments) {
    ScratchFolder work(ScratchFolder::Enter::Yes, "blender-export");
    Export result;
    result.status = RunShell(std::string("env -u DISPLAY -u WAYLAND_DISPLAY ") + MODELHOST_PATH +
                             " --save-as out.cmp " + arguments + " '" + modelFile.string() +
                             "' </dev/null >stdout.txt 2>stderr.txt");
    result.errors = ReadWholeFile("stderr.txt");
    if (result.status != 0) {
        return result;
    }
    NodeTree tree;
    const Bytes bytes = ReadWholeFileBytes("out.cmp");
    result.bytes.assign(bytes.begin(), bytes.end());
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

std::vector<std::string> BlenderSceneArguments() {
    std::vector<std::string> scenes = {"ship", "random:1", "random:2"};
    if (const char* extra = std::getenv("CMPEXPORT_BLENDER_RANDOM")) {
        const char* given = std::getenv("CMPEXPORT_BLENDER_SEED");
        const long seed =
            given != nullptr ? std::atol(given) : static_cast<long>(std::time(nullptr));
        std::printf(
            "random Blender scenes from seed %ld (CMPEXPORT_BLENDER_SEED=%ld repeats them)\n", seed,
            seed);
        for (long i = 0; i < std::atol(extra); ++i) {
            scenes.push_back("random:" + std::to_string(seed + i));
        }
    }
    return scenes;
}

}  // namespace cmp
