#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "modelhost/export_plan.h"
#include "tests/support/model_builder.h"

namespace cmp {

namespace {

using standin::AddMeshOf;
using standin::ModelBuilder;

// What each name becomes, by the plug-in's rules: "hp" in any case marks a hardpoint
// mesh, the kind is read from the fourth character on, in any case.
TEST(ExportPlan, EachMeshGetsTheRoleTheExportGivesIt) {
    struct Case {
        const char* meshName;
        MeshRole role;
        const char* hardpointName;
    } cases[] = {
        {"Hull", MeshRole::Geometry, ""},
        {"H", MeshRole::Geometry, ""},
        {"Helper", MeshRole::Geometry, ""},
        {"Hp_Fixed_Gun", MeshRole::FixedHardpoint, "Gun"},
        {"Hp_Revolute_Turret01", MeshRole::RevoluteHardpoint, "Turret01"},
        {"hp_fixed_x", MeshRole::FixedHardpoint, "x"},
        {"HP-REVOLUTE-y", MeshRole::RevoluteHardpoint, "y"},
        {"Hp_Fixed_", MeshRole::FixedHardpoint, ""},
        {"Hp_FixedGun", MeshRole::FixedHardpoint, "un"},
        {"Hp_Gun01", MeshRole::LeftOut, ""},
        {"HpFixed_Gun", MeshRole::LeftOut, ""},
        {"Hp_Revolve_Top", MeshRole::LeftOut, ""},
        {"hp", MeshRole::LeftOut, ""},
    };
    ModelBuilder model;
    for (const Case& c : cases) {
        AddMeshOf(model, c.meshName, 3);
    }
    const ExportPlan plan = PlanExport(model.model());
    ASSERT_FALSE(plan.isEmpty);
    EXPECT_TRUE(plan.formatProblems.empty());
    ASSERT_EQ(plan.meshes.size(), std::size(cases));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        EXPECT_EQ(plan.meshes[i].meshName, c.meshName);
        EXPECT_EQ(plan.meshes[i].role, c.role) << c.meshName;
        EXPECT_EQ(plan.meshes[i].hardpointName, c.hardpointName) << c.meshName;
    }
}

// The verdict is the plug-in's: empty, refused with its reasons, or exported. Hardpoint
// and left-out meshes never count towards the stream's limits.
TEST(ExportPlan, TheVerdictIsThePlugInsOwn) {
    struct Case {
        const char* name;
        std::function<void(ModelBuilder&)> build;
        bool isEmpty;
        std::string reason;  // a part of the refusal; empty: not refused
    } cases[] = {
        {"no meshes", [](ModelBuilder&) {}, true, ""},
        {"a negative mesh count",
         [](ModelBuilder& m) {
             AddMeshOf(m, "Hull", 3);
             ztBuild_OverrideMeshCount(m.model(), -1);
         },
         true, ""},
        {"vertices over the limit in all",
         [](ModelBuilder& m) {
             AddMeshOf(m, "Fore", 33000);
             AddMeshOf(m, "Aft", 33000);
         },
         false,
         "the model's meshes have 66000 vertices in all (mesh \"Aft\" passes the limit); at most "
         "65535 fit"},
        {"a position that is not a number",
         [](ModelBuilder& m) {
             ztMesh mesh = AddMeshOf(m, "Hull", 3);
             ModelBuilder::AddVertex(mesh, std::nanf(""), 0.0f, 0.0f);
         },
         false, "mesh \"Hull\" has a position or texture coordinate that is not a finite number"},
        {"a corner past the mesh's vertices",
         [](ModelBuilder& m) { ModelBuilder::AddTriangle(AddMeshOf(m, "Hull", 3), 0, 1, 3); },
         false, "mesh \"Hull\" uses vertex 3 but has 3 vertices (triangle 1)"},
        {"a large hardpoint and a large left-out mesh",
         [](ModelBuilder& m) {
             AddMeshOf(m, "Hull", 3);
             AddMeshOf(m, "Hp_Fixed_Big", 40000);
             AddMeshOf(m, "Hp_Big", 40000);
         },
         false, ""},
    };
    for (const Case& c : cases) {
        ModelBuilder model;
        c.build(model);
        const ExportPlan plan = PlanExport(model.model());
        const Status formatCheck = RefusalOf(plan.formatProblems);
        EXPECT_EQ(plan.isEmpty, c.isEmpty) << c.name;
        if (c.reason.empty()) {
            EXPECT_TRUE(formatCheck.ok()) << c.name << ": " << formatCheck.message();
        } else {
            ASSERT_FALSE(formatCheck.ok()) << c.name;
            EXPECT_EQ(formatCheck.code(), ErrorCode::ModelRefused) << c.name;
            EXPECT_NE(formatCheck.message().find(c.reason), std::string::npos)
                << c.name << ": " << formatCheck.message();
        }
    }
}

TEST(ExportPlan, ANullModelPlansAsEmpty) {
    const ExportPlan plan = PlanExport(nullptr);
    EXPECT_TRUE(plan.isEmpty);
    EXPECT_TRUE(plan.meshes.empty());
}

// The size is the geometry's, hardpoints aside, from the host's numbers and from the
// file's, where every length is 1/92 of the model's.
TEST(ExportPlan, TheSizeIsTheGeometrysInTheModelAndInTheFile) {
    ModelBuilder model;
    ztMesh hull = model.AddMesh("Hull", -1);
    ModelBuilder::AddVertex(hull, -3.0f, 1.5f, 12.0f);
    ModelBuilder::AddVertex(hull, 3.0f, -1.5f, -12.0f);
    ztMesh hardpoint = model.AddMesh("Hp_Fixed_Far", -1);
    ModelBuilder::AddVertex(hardpoint, 500.0f, 0.0f, 0.0f);
    const ExportPlan plan = PlanExport(model.model());
    ASSERT_TRUE(plan.size.has_value());
    EXPECT_EQ(plan.size->model, (std::array<double, 3>{6.0, 3.0, 24.0}));
    for (std::size_t axis = 0; axis < 3; ++axis) {
        EXPECT_NEAR(plan.size->file[axis], plan.size->model[axis] / 92.0, 1e-6);
    }
    EXPECT_EQ(plan.baseName, "Hull");
}

// The size line is there to show a unit mistake: no length may hide as zeros or as an
// empty range, whatever the numbers.
TEST(ExportPlanText, TheSizeLineShowsEveryLength) {
    const float nan = std::nanf("");
    struct Case {
        const char* name;
        std::vector<std::array<float, 3>> points;
        const char* line;
    } cases[] = {
        {"the example ship's size",
         {{-14, 0, -20}, {14, 5.5f, 20}},
         "size: 28.00 x 5.50 x 40.00 in the model, 0.304 x 0.060 x 0.435 in the file"},
        {"a model in the wrong unit",
         {{0, 0, 0}, {0.02f, 0.001f, 0}},
         "size: 0.02 x 0.001 x 0.00 in the model, 0.000217 x 1.09e-05 x 0.000 in the file"},
        {"positions that are not numbers",
         {{0, 0, 0}, {nan, 1, 2}, {1, nan, nan}},
         "size: not a number x not a number x not a number in the model, not a number x not a "
         "number x not a number in the file"},
        {"one axis not a number",
         {{0, 0, 0}, {nan, 1, 2}},
         "size: not a number x 1.00 x 2.00 in the model, not a number x 0.011 x 0.022 in the "
         "file"},
    };
    for (const Case& c : cases) {
        ModelBuilder model;
        ztMesh mesh = model.AddMesh("Hull", -1);
        for (const std::array<float, 3>& point : c.points) {
            ModelBuilder::AddVertex(mesh, point[0], point[1], point[2]);
        }
        const std::string text = PlanText(PlanExport(model.model()));
        const std::size_t line = text.find("size: ");
        ASSERT_NE(line, std::string::npos) << c.name << "\n" << text;
        EXPECT_EQ(text.substr(line, text.find('\n', line) - line), c.line) << c.name;
    }
}

// The printed plan: names and reasons reach the terminal escaped, one line each.
TEST(ExportPlanText, PrintsEachMeshAndTheVerdict) {
    struct Case {
        const char* name;
        std::function<void(ModelBuilder&)> build;
        std::string text;
        std::vector<std::string> warnings;
        std::optional<std::string> namingWarning = std::nullopt;
    } cases[] = {
        {"every role",
         [](ModelBuilder& m) {
             AddMeshOf(m, "Hull", 4, m.AddMaterial("Plate"));
             AddMeshOf(m, "Fin", 3);
             AddMeshOf(m, "Hp_Fixed_Gun", 3);
             AddMeshOf(m, "Hp_Revolute_Top", 1);
             AddMeshOf(m, "Hp_Gun01", 3);
         },
         "  Hull: 4 vertices, 1 triangles, material 'Plate'\n"
         "  Fin: 3 vertices, 1 triangles, material none\n"
         "  Hp_Fixed_Gun: 3 vertices, Fixed hardpoint 'Gun'\n"
         "  Hp_Revolute_Top: 1 vertices, Revolute hardpoint 'Top'\n"
         "  Hp_Gun01: 3 vertices, left out: name begins with Hp but names neither Fixed nor "
         "Revolute\n"
         "named after the first mesh 'Hull': Hull.3db, Hull.lod0.vms\n"
         "size: 3.00 x 0.00 x 0.00 in the model, 0.033 x 0.000 x 0.000 in the file\n"
         "export: 2 geometry meshes, 1 Fixed hardpoint, 1 Revolute hardpoint, 1 left out\n",
         {"mesh 'Hp_Gun01' is left out of the export: name begins with Hp but names neither "
          "Fixed nor Revolute"}},
        {"control characters in names",
         [](ModelBuilder& m) {
             AddMeshOf(m, "Hull\x1B[2J", 3, m.AddMaterial("Red\n"));
             AddMeshOf(m, "Hp_Fixed_\x07", 3);
             AddMeshOf(m, "hp\x1B]0;x", 3);
         },
         "  Hull\\x1B[2J: 3 vertices, 1 triangles, material 'Red\\x0A'\n"
         "  Hp_Fixed_\\x07: 3 vertices, Fixed hardpoint '\\x07'\n"
         "  hp\\x1B]0;x: 3 vertices, left out: name begins with Hp but names neither Fixed nor "
         "Revolute\n"
         "named after the first mesh 'Hull\\x1B[2J': Hull\\x1B[2J.3db, Hull\\x1B[2J.lod0.vms\n"
         "size: 2.00 x 0.00 x 0.00 in the model, 0.022 x 0.000 x 0.000 in the file\n"
         "export: 1 geometry mesh, 1 Fixed hardpoint, 0 Revolute hardpoints, 1 left out\n",
         {"mesh 'hp\\x1B]0;x' is left out of the export: name begins with Hp but names neither "
          "Fixed nor Revolute"}},
        {"refused, with every reason on a line of its own",
         [](ModelBuilder& m) {
             ModelBuilder::AddTriangle(AddMeshOf(m, "A\x1B", 3), 0, 1, 9);
             ModelBuilder::AddTriangle(AddMeshOf(m, "B", 3), 7, 1, 2);
             AddMeshOf(m, "Hp_Gun", 3);
         },
         "  A\\x1B: 3 vertices, 2 triangles, material none\n"
         "  B: 3 vertices, 2 triangles, material none\n"
         "  Hp_Gun: 3 vertices, left out: name begins with Hp but names neither Fixed nor "
         "Revolute\n"
         "named after the first mesh 'A\\x1B': A\\x1B.3db, A\\x1B.lod0.vms\n"
         "size: 2.00 x 0.00 x 0.00 in the model, 0.022 x 0.000 x 0.000 in the file\n"
         "export: refused, nothing would be written:\n"
         "  mesh \"A\\x1B\" uses vertex 9 but has 3 vertices (triangle 1)\n"
         "  mesh \"B\" uses vertex 7 but has 3 vertices (triangle 1)\n",
         {"mesh 'Hp_Gun' is left out of the export: name begins with Hp but names neither Fixed "
          "nor Revolute"}},
        {"empty",
         [](ModelBuilder&) {},
         "export: nothing; the plug-in warns: The model is empty!  Nothing exported!\n",
         {}},
        {"named after a hardpoint, no geometry",
         [](ModelBuilder& m) { AddMeshOf(m, "Hp_Fixed_Gun", 3); },
         "  Hp_Fixed_Gun: 3 vertices, Fixed hardpoint 'Gun'\n"
         "named after the first mesh 'Hp_Fixed_Gun': Hp_Fixed_Gun.3db, Hp_Fixed_Gun.lod0.vms\n"
         "size: no geometry\n"
         "export: 0 geometry meshes, 1 Fixed hardpoint, 0 Revolute hardpoints, 0 left out\n",
         {},
         "the model is named after its first mesh 'Hp_Fixed_Gun', a hardpoint mesh: "
         "Hp_Fixed_Gun.3db, Hp_Fixed_Gun.lod0.vms (--first MESH names it after another mesh)"},
    };
    for (const Case& c : cases) {
        ModelBuilder model;
        c.build(model);
        const ExportPlan plan = PlanExport(model.model());
        EXPECT_EQ(PlanText(plan), c.text) << c.name;
        EXPECT_EQ(LeftOutWarnings(plan), c.warnings) << c.name;
        EXPECT_EQ(NamingWarning(plan), c.namingWarning) << c.name;
    }
}

}  // namespace

}  // namespace cmp
