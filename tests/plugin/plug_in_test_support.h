// Models and a transcript reader shared by the tests of the plug-in; CreateTestModel and
// BuildEmptyModel come with the comparison models.
#pragma once

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "standin/ztModelBuilder.h"
#include "tests/models/test_models.h"
#include "tests/support/file_contents.h"
#include "tests/support/plugin_library.h"
#include "tests/support/scratch_folder.h"

namespace cmp {

#ifdef CMPEXPORT_PLUGIN_PATH
// A new object from the built plug-in library, loaded once as a host loads it; null
// (with a test failure) when it cannot be loaded.
inline HostPlugIn* CreateFromPlugInLibrary() {
    static const PlugInLibrary library(CMPEXPORT_PLUGIN_PATH);
    if (!library.Loaded()) {
        ADD_FAILURE() << library.Error();
        return nullptr;
    }
    HostPlugIn* plugIn = library.Create();
    if (plugIn == nullptr) {
        ADD_FAILURE() << "no CreatePlugIn, or it gave no object";
    }
    return plugIn;
}
#endif

// A small ship: a hull, a cockpit of a second material and three hardpoint markers; its
// hull's tail `tail` units further back (another model of the very same size).
inline void BuildShipWithTail(ztModel model, float tail) {
    const std::int32_t plate = ztBuild_AddMaterial(model, "HullPlate");
    const std::int32_t glass = ztBuild_AddMaterial(model, "CockpitGlass");
    ztMesh hull = ztBuild_AddMesh(model, "Hull", plate);
    const float corners[4][3] = {{-4, -2, 20}, {4, -2, 20}, {0, 2, 20}, {0, 0, -20 - tail}};
    for (const auto& c : corners) {
        ztBuild_AddVertex(hull, c[0], c[1], c[2], 0.5f, 0.25f);
    }
    ztBuild_AddTriangle(hull, 0, 1, 2);
    ztBuild_AddTriangle(hull, 0, 3, 1);
    ztBuild_AddTriangle(hull, 1, 3, 2);
    ztBuild_AddTriangle(hull, 2, 3, 0);
    ztMesh cockpit = ztBuild_AddMesh(model, "Cockpit", glass);
    ztBuild_AddVertex(cockpit, -1, 2, 0, 0, 0);
    ztBuild_AddVertex(cockpit, 1, 2, 0, 1, 0);
    ztBuild_AddVertex(cockpit, 0, 3, -2, 0.5f, 1);
    ztBuild_AddTriangle(cockpit, 0, 1, 2);
    const char* markers[] = {"Hp_Fixed_HpEngine01", "Hp_Fixed_HpWeapon01", "Hp_Revolute_Turret01"};
    float x = -2;
    for (const char* name : markers) {
        ztMesh marker = ztBuild_AddMesh(model, name, -1);
        ztBuild_AddVertex(marker, x, 0, 21, 0, 0);
        ztBuild_AddVertex(marker, x + 0.5f, 0, 21, 1, 0);
        ztBuild_AddVertex(marker, x, 0.5f, 21, 0, 1);
        ztBuild_AddTriangle(marker, 0, 1, 2);
        x += 2;
    }
}

inline void BuildShip(ztModel model) {
    BuildShipWithTail(model, 0);
}

inline void BuildLongShip(ztModel model) {
    BuildShipWithTail(model, 8);
}

inline void BuildNegativeCount(ztModel model) {
    BuildShip(model);
    ztBuild_OverrideMeshCount(model, -3);
}

inline void BuildOnlyHardpoints(ztModel model) {
    ztMesh marker = ztBuild_AddMesh(model, "hp_fixed_Gun", -1);
    ztBuild_AddVertex(marker, 0, 0, 0, 0, 0);
}

// A triangle naming a vertex the mesh does not have: the format check refuses it.
inline void BuildBadIndex(ztModel model) {
    ztMesh hull = ztBuild_AddMesh(model, "Hull", -1);
    for (int i = 0; i < 3; ++i) {
        ztBuild_AddVertex(hull, static_cast<float>(i), 0, 0, 0, 0);
    }
    ztBuild_AddTriangle(hull, 0, 1, 7);
}

// One line of the console's transcript, split into its unescaped fields.
using TranscriptRecord = std::vector<std::string>;

inline std::string UnescapeTranscriptField(const std::string& field) {
    std::string text;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 1 < field.size()) {
            const char next = field[++i];
            text += next == 't' ? '\t' : next == 'n' ? '\n' : next;
        } else {
            text += field[i];
        }
    }
    return text;
}

inline std::vector<TranscriptRecord> ReadTranscript(const std::filesystem::path& path) {
    std::vector<TranscriptRecord> records;
    std::istringstream lines(ReadWholeFile(path));
    for (std::string line; std::getline(lines, line);) {
        TranscriptRecord record;
        std::size_t start = 0;
        for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos;
             start = tab + 1) {
            record.push_back(UnescapeTranscriptField(line.substr(start, tab - start)));
        }
        record.push_back(UnescapeTranscriptField(line.substr(start)));
        records.push_back(record);
    }
    return records;
}

}  // namespace cmp
