// What the tests from the modeller's side share: scenes as Blender recorded them
// (tests/blender/make_scenes.py), modelhost run on a model file, and triangles matched
// between Blender's geometry and a written file.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "tools/cmpinfo/read/read.h"

namespace cmp {

using Point = std::array<double, 3>;

// Blender's world (Z up) as the file holds it. The model reaches modelhost Y up (x, z, -y),
// as Blender's exporters and the add-on write it; the file then scales by 1/92 and
// negates Y and Z.
Point BlenderToFile(const nlohmann::json& point);

// Blender's world (Z up) turned as the file turns it, unscaled: for directions.
Point BlenderDirectionToFile(const nlohmann::json& direction);

struct Triangle {
    std::array<Point, 3> corners;
    std::array<std::array<double, 2>, 3> uvs;  // v from the top, as the file holds it
    std::optional<std::uint32_t> material;     // its identifier, when Blender names one
    // Each corner's unit normal: Blender's split normal, or the file's vertex normal.
    std::optional<std::array<Point, 3>> normals;
    std::optional<Point> faceNormal;  // Blender's, where it recorded one
};

struct SceneHardpoint {
    std::string name;  // the node's name in the file
    Point centre;
};

struct Scene {
    std::vector<Triangle> triangles;  // of the meshes that are geometry
    std::vector<SceneHardpoint> hardpoints;
    double extent = 0;  // the largest coordinate, for the tolerance
};

// A scene as make_scenes.py's record() writes it: {"objects": [...]}.
Scene ReadScene(const nlohmann::json& document);
Scene ReadScene(const std::filesystem::path& json);

// Every triangle a written file holds, as a scene's triangles are kept.
std::vector<Triangle> FileTriangles(const StoredModel& model);

struct Tally {
    std::size_t matched = 0;
    std::size_t inward = 0;     // in place, but the corners run the other way
    std::size_t misplaced = 0;  // no triangle of the other side there
    std::size_t wrongUv = 0;
    std::size_t wrongMaterial = 0;
};

// Each wanted triangle against the found ones: the same three corners, in the same turning
// order (starting at any corner), with the same texture coordinates and, where the wanted
// one names one, the same material. Each found triangle matches once.
Tally CompareTriangles(const std::vector<Triangle>& wanted, const std::vector<Triangle>& found,
                       double tolerance);

// How far the file's corner normals lie from Blender's, in radians: corners Blender shades
// as their face (flat faces, and faces alone between sharp edges) apart from the smooth
// ones, whose fan of faces Blender weights by corner angle and the plug-in does not.
struct ShadingTally {
    std::size_t flatCorners = 0;
    std::size_t smoothCorners = 0;
    double flatWorst = 0;
    double smoothWorst = 0;
};

// The corner normals of each wanted triangle with recorded normals against those of the
// found triangle in the same place (matched as CompareTriangles matches).
ShadingTally CompareNormals(const std::vector<Triangle>& wanted, const std::vector<Triangle>& found,
                            double tolerance);

// Expects every wanted triangle found once, facing the same way, with its texture
// coordinates and material, and no more triangles found than wanted; the failure says
// how many face inward and how many are not in place.
void ExpectSameTriangles(const std::vector<Triangle>& wanted, const std::vector<Triangle>& found,
                         double tolerance);

bool Near(const Point& a, const Point& b, double tolerance);
Point ToPoint(const std::array<float, 3>& point);

// A shell command's exit status (-1 when it did not exit).
int RunShell(const std::string& command);

// Runs one of this folder's scripts in Blender, without a window and with factory
// settings, from an environment whose Python is the system's own; `environment` holds
// more NAME=value words for env. Its output goes to `log`. Throws std::runtime_error
// with the log when Blender fails.
// The scenes make_scenes.py makes for the tests: "ship", "random:1", "random:2", and as many
// random scenes more as CMPEXPORT_BLENDER_RANDOM says, from a seed that is printed
// (CMPEXPORT_BLENDER_SEED repeats it).
std::vector<std::string> BlenderSceneArguments();

void RunBlenderScript(const std::string& script, const std::string& arguments,
                      const std::filesystem::path& log, const std::string& environment = "");

struct Export {
    int status = -1;
    std::string errors;
    StoredModel model;
    std::vector<std::uint8_t> bytes;
};

// modelhost --save-as in a folder of its own, `arguments` before the model, then the
// written file read back.
Export ExportWithModelHost(const std::filesystem::path& modelFile,
                           const std::string& arguments = "");

}  // namespace cmp
