#include "modelhost/export_plan.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>

#include <nlohmann/json.hpp>

#include "tests/support/model_builder.h"

namespace cmp {

namespace {

using nlohmann::json;
using standin::AddMeshOf;
using standin::ModelBuilder;

// Every field a program reads, for each verdict and each fate of a mesh: the expected
// members are compared whole, the others are left to the other cases.
TEST(ListJson, CarriesThePlanFieldByField) {
    struct Case {
        const char* name;
        std::function<void(ModelBuilder&)> build;
        const char* expected;  // a JSON object: some of the document's members
        const char* droppedNote = "";
    } cases[] = {
        {"geometry and hardpoints",
         [](ModelBuilder& m) {
             AddMeshOf(m, "Hull", 4, m.AddMaterial("Plate"));
             AddMeshOf(m, "Fin", 3);
             AddMeshOf(m, "Hp_Fixed_Gun", 3);
             AddMeshOf(m, "Hp_Revolute_Top", 1);
         },
         R"j({"meshes": [
              {"name": "Hull", "role": "geometry", "vertices": 4, "triangles": 1, "material": "Plate"},
              {"name": "Fin", "role": "geometry", "vertices": 3, "triangles": 1, "material": null},
              {"name": "Hp_Fixed_Gun", "role": "fixed hardpoint", "vertices": 3, "triangles": 1,
               "hardpoint": "Gun"},
              {"name": "Hp_Revolute_Top", "role": "revolute hardpoint", "vertices": 1,
               "triangles": 0, "hardpoint": "Top"}],
             "namedAfter": {"mesh": "Hull", "nodes": ["Hull.3db", "Hull.lod0.vms"]},
             "size": {"model": [3, 0, 0], "file": [0.032608695328235626, 0, 0]},
             "warnings": [],
             "export": {"verdict": "export", "geometryMeshes": 2, "fixedHardpoints": 1,
                        "revoluteHardpoints": 1, "leftOut": 0}})j"},
        {"left out, and named after a hardpoint mesh",
         [](ModelBuilder& m) {
             AddMeshOf(m, "Hp_Gun01", 3);
             AddMeshOf(m, "Hull", 3);
         },
         R"j({"meshes": [
              {"name": "Hp_Gun01", "role": "left out", "vertices": 3, "triangles": 1,
               "reason": "name begins with Hp but names neither Fixed nor Revolute"},
              {"name": "Hull", "role": "geometry", "vertices": 3, "triangles": 1, "material": null}],
             "namedAfter": {"mesh": "Hp_Gun01", "nodes": ["Hp_Gun01.3db", "Hp_Gun01.lod0.vms"]},
             "warnings": [
              {"kind": "dropped points and lines", "message": "dropped 2 points"},
              {"kind": "named after a hardpoint mesh", "mesh": "Hp_Gun01",
               "message": "the model is named after its first mesh 'Hp_Gun01', a hardpoint mesh: Hp_Gun01.3db, Hp_Gun01.lod0.vms (--first MESH names it after another mesh)"},
              {"kind": "left out", "mesh": "Hp_Gun01",
               "message": "mesh 'Hp_Gun01' is left out of the export: name begins with Hp but names neither Fixed nor Revolute"}],
             "export": {"verdict": "export", "geometryMeshes": 1, "fixedHardpoints": 0,
                        "revoluteHardpoints": 0, "leftOut": 1}})j",
         "dropped 2 points"},
        {"refused over the format's limits and for a bad corner",
         [](ModelBuilder& m) {
             AddMeshOf(m, "Fore", 33000);
             ModelBuilder::AddTriangle(AddMeshOf(m, "Aft", 33000), 0, 1, 33000);
         },
         R"j({"export": {"verdict": "refused",
              "reasons": [
               "the model's meshes have 66000 vertices in all (mesh \"Aft\" passes the limit); at most 65535 fit",
               "mesh \"Aft\" uses vertex 33000 but has 33000 vertices (triangle 1)"],
              "problems": [
               {"kind": "too many vertices", "mesh": "Aft", "count": 66000, "limit": 65535},
               {"kind": "vertex out of range", "mesh": "Aft", "vertex": 33000,
                "vertexCount": 33000, "triangle": 1}],
              "unlistedProblems": 0}})j"},
        {"a position that is not a number",
         [](ModelBuilder& m) {
             ModelBuilder::AddVertex(AddMeshOf(m, "Hull", 3), std::nanf(""), 1, 0);
         },
         R"j({"size": {"model": [null, 1, 0], "file": [null, 0.010869565419852734, 0]},
             "export": {"verdict": "refused",
              "reasons": ["mesh \"Hull\" has a position or texture coordinate that is not a finite number (vertex 3)"],
              "problems": [{"kind": "not finite", "mesh": "Hull", "vertex": 3}],
              "unlistedProblems": 0}})j"},
        {"empty", [](ModelBuilder&) {},
         R"j({"meshes": [], "namedAfter": null, "size": null, "warnings": [],
             "export": {"verdict": "empty", "warning": "The model is empty!  Nothing exported!"}})j"},
        {"names as they are; bytes that are not UTF-8 replaced",
         [](ModelBuilder& m) {
             AddMeshOf(m, "Rumpf\xC3\xBC\x1B", 3, m.AddMaterial("Red\n"));
             AddMeshOf(m, "Bad\xFF", 3);
         },
         "{\"meshes\": ["
         "{\"name\": \"Rumpf\\u00fc\\u001b\", \"role\": \"geometry\", \"vertices\": 3, "
         "\"triangles\": 1, \"material\": \"Red\\n\"},"
         "{\"name\": \"Bad\\ufffd\", \"role\": \"geometry\", \"vertices\": 3, "
         "\"triangles\": 1, \"material\": null}]}"},
    };
    for (const Case& c : cases) {
        ListedRun run;
        run.droppedNote = c.droppedNote;
        ModelBuilder model;
        c.build(model);
        const std::string text = ListJson(run, PlanExport(model.model()));
        ASSERT_EQ(text.back(), '\n') << c.name;
        for (char byte : text) {
            ASSERT_TRUE(byte >= 0x20 ? byte < 0x7F : byte == '\n') << c.name << ": " << text;
        }
        const json document = json::parse(text);
        const json expected = json::parse(c.expected);
        for (const auto& [member, value] : expected.items()) {
            EXPECT_EQ(document.at(member), value) << c.name << ": " << member;
        }
    }
}

// Past the reasons the plug-in lists, the words sum up the rest and the count says how
// many; a line break in a name stays inside its reason.
TEST(ListJson, ARefusalPastTheListedReasonsCountsTheRest) {
    ModelBuilder model;
    for (int i = 0; i < 12; ++i) {
        ModelBuilder::AddTriangle(AddMeshOf(model, "Two\nlines", 3), 0, 1, 3);
    }
    const json refusal = json::parse(ListJson(ListedRun{}, PlanExport(model.model())))["export"];
    ASSERT_EQ(refusal["reasons"].size(), 11u);
    EXPECT_EQ(refusal["reasons"][0],
              "mesh \"Two\nlines\" uses vertex 3 but has 3 vertices (triangle 1)");
    EXPECT_EQ(refusal["reasons"][10], "and 2 more problems");
    EXPECT_EQ(refusal["problems"].size(), 10u);
    EXPECT_EQ(refusal["unlistedProblems"], 2);
}

// What a program checks first: the format it was written for, and who made the plan.
TEST(ListJson, TellsItsFormatThePlugInAndTheModel) {
    ListedRun run;
    run.version = "1.2.3";
    run.plugInFile = "/opt/lib/libcmpexport.so";
    run.plugInKind = 2;
    run.modelPath = "ship.obj";
    run.meshCount = -1;
    run.materialCount = 3;
    json document = json::parse(ListJson(run, ExportPlan{}));
    EXPECT_EQ(document["format"], ListJsonFormat);
    EXPECT_EQ(document["modelhost"], "1.2.3");
    EXPECT_EQ(document["plugIn"], json::parse(R"j({"file": "/opt/lib/libcmpexport.so", "kind": 2,
                                                 "title": null})j"));
    EXPECT_EQ(document["model"], json::parse(R"j({"file": "ship.obj", "meshes": -1, "materials": 3,
                                                "droppedPoints": 0, "droppedLines": 0})j"));
    run.plugInTitle = "Quorvane CMP...";
    EXPECT_EQ(json::parse(ListJson(run, ExportPlan{}))["plugIn"]["title"], "Quorvane CMP...");
}

}  // namespace

}  // namespace cmp
