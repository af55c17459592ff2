// modelhost end to end: the example models through the built plug-in, then cmpinfo on
// each result.
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <vector>

#include <nlohmann/json.hpp>

#include "tests/e2e/model_files.h"
#include "tests/support/file_contents.h"
#include "tests/support/scratch_folder.h"

namespace cmp {

namespace {

namespace fs = std::filesystem;

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

// Runs a command line in the current folder, with no input and no display.
Outcome RunCommand(const std::string& command) {
    const std::string line =
        "env -u DISPLAY -u WAYLAND_DISPLAY -u CMPEXPORT_UI "
        "-u CMPEXPORT_SAVE_AS -u CMPEXPORT_OVERWRITE -u CMPEXPORT_TRANSCRIPT " +
        command + " </dev/null >stdout.txt 2>stderr.txt";
    const int raw = std::system(line.c_str());
    Outcome outcome{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadWholeFile("stdout.txt"),
                    ReadWholeFile("stderr.txt")};
    fs::remove("stdout.txt");
    fs::remove("stderr.txt");
    return outcome;
}

std::string ModelHost(const std::string& arguments) {
    return std::string(MODELHOST_PATH) + " " + arguments;
}

std::string Example(const char* name) {
    return std::string(EXAMPLES_DIR) + "/" + name;
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST(ModelHost, ExportsEachExampleToAFileThatCmpinfoAccepts) {
    ScratchFolder scratch;
    std::string first;
    for (const char* example : {"ship.obj", "ship.gltf"}) {
        for (const char* output : {"a.cmp", "b.cmp"}) {
            Outcome run =
                RunCommand(ModelHost("--save-as " + std::string(output) + " " + Example(example)));
            ASSERT_EQ(run.status, 0) << example << "\n" << run.out << run.err;
            EXPECT_TRUE(Contains(run.out, "kind: 2\ntitle: Quorvane CMP...\n")) << run.out;
            EXPECT_TRUE(Contains(run.out, "Quorvane CMP Exporter\n\\\n├── VMeshLibrary\n"));
            EXPECT_TRUE(Contains(run.out, "Turret01"));
            EXPECT_TRUE(Contains(run.out, "RunExport returned 0\n"));
            EXPECT_EQ(run.err, "");
            EXPECT_FALSE(fs::exists("___temp.vms"));

            Outcome check = RunCommand(std::string(CMPINFO_PATH) + " --check " + output);
            EXPECT_EQ(check.status, 0) << example << ": " << check.out << check.err;
        }
        // Same model, same bytes: run to run, and between the two file formats.
        const std::string bytes = ReadWholeFile("a.cmp");
        EXPECT_EQ(bytes, ReadWholeFile("b.cmp")) << example;
        if (first.empty()) {
            first = bytes;
        } else {
            EXPECT_EQ(bytes, first) << "the OBJ and glTF ships export alike";
        }
        fs::remove("a.cmp");
        fs::remove("b.cmp");
    }
    // The whole file against the copy kept beside this test (after a deliberate format
    // change: modelhost --save-as tests/e2e/golden/kestrel.cmp examples/ship.obj).
    const std::string golden =
        ReadWholeFile(std::string(SOURCE_DIR) + "/tests/e2e/golden/kestrel.cmp");
    ASSERT_FALSE(golden.empty()) << "tests/e2e/golden/kestrel.cmp is missing";
    EXPECT_TRUE(first == golden) << "the Kestrel no longer exports to the golden bytes ("
                                 << first.size() << " bytes written, " << golden.size() << " kept)";
}

TEST(ModelHost, ListsThePlugInAndTheModelWithoutExporting) {
    ScratchFolder scratch;
    Outcome run = RunCommand(ModelHost("--list " + Example("ship.obj")));
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(Contains(run.out, "title: Quorvane CMP...\n"));
    EXPECT_TRUE(Contains(run.out, "7 meshes, 3 materials"));
    EXPECT_TRUE(Contains(run.out, "  Hull: 20 vertices, 12 triangles, material 'HullPlate'\n"));
    EXPECT_TRUE(Contains(run.out, "  Hp_Revolute_Turret01: 3 vertices"));
    EXPECT_TRUE(fs::is_empty(scratch.GetPath()));
}

// A small model with every fate a mesh can meet in an export. The kind of a hardpoint
// is read in any letter case, so hp_fixed_x is a Fixed hardpoint named x.
constexpr const char* EveryFateObj =
    "mtllib plan.mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\nv 0 0 1\n"
    "o Hull\nusemtl Plate\nf 1 2 3\nf 1 3 4\n"
    "o Hp_Fixed_Gun\nf 1 2 4\n"
    "o Hp_Revolute_Top\nf 2 3 4\n"
    "o Hp_Gun01\nf 1 2 3\n"
    "o HpFixed_Gun\nf 1 2 3\n"
    "o hp_fixed_x\nf 1 3 4\n";

// One mesh of 21,846 triangles over three vertices: one triangle more than the mesh data
// stream can hold.
std::string OverTheTriangleLimitObj() {
    std::string obj = "v 0 0 0\nv 1 0 0\nv 0 1 0\no Big\n";
    for (int t = 0; t < 21846; ++t) {
        obj += "f 1 2 3\n";
    }
    return obj;
}

constexpr const char* TriangleLimitReason =
    "the model's meshes have 21846 triangles in all (65538 corners; mesh \"Big\" passes the "
    "limit); at most 21845 triangles (65535 corners) fit";

// --list tells, before any dialog, what the export will make of each mesh and whether
// the plug-in would refuse the model, in its words.
TEST(ModelHost, ListShowsThePlanOfTheExport) {
    struct Case {
        const char* name;
        std::string obj;
        std::string plan;  // the lines after "model: ..."
    } cases[] = {
        {"every fate", EveryFateObj,
         "  Hull: 4 vertices, 2 triangles, material 'Plate'\n"
         "  Hp_Fixed_Gun: 3 vertices, Fixed hardpoint 'Gun'\n"
         "  Hp_Revolute_Top: 3 vertices, Revolute hardpoint 'Top'\n"
         "  Hp_Gun01: 3 vertices, left out: name begins with Hp but names neither Fixed nor "
         "Revolute\n"
         "  HpFixed_Gun: 3 vertices, left out: name begins with Hp but names neither Fixed nor "
         "Revolute\n"
         "  hp_fixed_x: 3 vertices, Fixed hardpoint 'x'\n"
         "named after the first mesh 'Hull': Hull.3db, Hull.lod0.vms\n"
         "size: 1.00 x 1.00 x 1.00 in the model, 0.011 x 0.011 x 0.011 in the file\n"
         "export: 1 geometry mesh, 2 Fixed hardpoints, 1 Revolute hardpoint, 2 left out\n"},
        {"over the format's limits", OverTheTriangleLimitObj(),
         "  Big: 3 vertices, 21846 triangles, material none\n"
         "named after the first mesh 'Big': Big.3db, Big.lod0.vms\n"
         "size: 1.00 x 1.00 x 0.00 in the model, 0.011 x 0.011 x 0.000 in the file\n"
         "export: refused, nothing would be written:\n  " +
             std::string(TriangleLimitReason) + "\n"},
        {"empty", "v 0 0 0\nv 1 0 0\nl 1 2\n",
         "export: nothing; the plug-in warns: The model is empty!  Nothing exported!\n"},
    };
    for (const Case& c : cases) {
        ScratchFolder scratch;
        WriteWholeFile("plan.obj", c.obj);
        WriteWholeFile("plan.mtl", "newmtl Plate\nKd 1 1 1\n");
        Outcome run = RunCommand(ModelHost("--list plan.obj"));
        EXPECT_EQ(run.status, 0) << c.name << "\n" << run.err;
        const std::size_t model = run.out.find("model: plan.obj, ");
        ASSERT_NE(model, std::string::npos) << c.name << "\n" << run.out;
        EXPECT_EQ(run.out.substr(run.out.find('\n', model) + 1), c.plan) << c.name;
        EXPECT_FALSE(Contains(run.err, "left out")) << c.name << ": " << run.err;
        EXPECT_EQ(scratch.Contents(), (std::vector<std::string>{"plan.mtl", "plan.obj"})) << c.name;
    }
}

// --list --json is the plan for programs: one JSON document on standard output, the same
// plan as the text, read here as a program reads it.
TEST(ModelHost, ListJsonIsThePlanForPrograms) {
    ScratchFolder scratch;
    Outcome run = RunCommand(ModelHost("--list --json " + Example("ship.obj")));
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    const nlohmann::json plan = nlohmann::json::parse(run.out);
    EXPECT_EQ(plan["format"], 1);
    EXPECT_EQ(plan["modelhost"], PROJECT_VERSION);
    EXPECT_EQ(plan["plugIn"]["kind"], 2);
    EXPECT_EQ(plan["plugIn"]["title"], "Quorvane CMP...");
    EXPECT_TRUE(fs::path(plan["plugIn"]["file"].get<std::string>()).is_absolute());
    EXPECT_EQ(plan["model"]["file"], Example("ship.obj"));
    EXPECT_EQ(plan["model"]["meshes"], 7);
    EXPECT_EQ(plan["model"]["materials"], 3);
    std::vector<std::string> meshes;
    for (const nlohmann::json& mesh : plan["meshes"]) {
        meshes.push_back(mesh["name"].get<std::string>() + " " + mesh["role"].get<std::string>());
    }
    EXPECT_EQ(
        meshes,
        (std::vector<std::string>{
            "Hull geometry", "Wings geometry", "Cockpit geometry",
            "Hp_Fixed_HpEngine01 fixed hardpoint", "Hp_Fixed_HpWeapon01 fixed hardpoint",
            "Hp_Fixed_HpWeapon02 fixed hardpoint", "Hp_Revolute_Turret01 revolute hardpoint"}));
    EXPECT_EQ(plan["meshes"][0]["material"], "HullPlate");
    EXPECT_EQ(plan["meshes"][6]["hardpoint"], "Turret01");
    EXPECT_EQ(plan["namedAfter"]["mesh"], "Hull");
    EXPECT_EQ(plan["size"]["model"], nlohmann::json::parse("[28, 5.5, 40]"));
    EXPECT_EQ(plan["export"], nlohmann::json::parse(R"({"verdict": "export", "geometryMeshes": 3,
        "fixedHardpoints": 3, "revoluteHardpoints": 1, "leftOut": 0})"));
    EXPECT_EQ(plan["warnings"], nlohmann::json::array());
    EXPECT_TRUE(fs::is_empty(scratch.GetPath()));
}

// One run gives a program the plan and the export: the plan file is what --list --json
// prints; it never replaces a file the model is read from.
TEST(ModelHost, APlanFileComesWithTheExport) {
    ScratchFolder scratch;
    const Outcome listed = RunCommand(ModelHost("--list --json " + Example("ship.obj")));
    const Outcome run =
        RunCommand(ModelHost("--save-as ship.cmp --plan plan.json " + Example("ship.obj")));
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadWholeFile("plan.json"), listed.out);
    EXPECT_EQ(ReadWholeFileBytes("ship.cmp").size(), 3781u);

    const std::string obj = ReadWholeFile(Example("ship.obj"));
    fs::copy_file(Example("ship.obj"), "model.obj");
    fs::copy_file(Example("ship.mtl"), "ship.mtl");
    const Outcome refused = RunCommand(ModelHost("--save-as out.cmp --plan ship.mtl model.obj"));
    EXPECT_EQ(refused.status, 2);
    EXPECT_TRUE(Contains(refused.err, "--plan: will not write the plan to 'ship.mtl'"))
        << refused.err;
    EXPECT_EQ(ReadWholeFile("model.obj"), obj);
    EXPECT_FALSE(fs::exists("out.cmp"));
}

// An unattended export names each left-out mesh on standard error before it runs, and
// otherwise leaves the telling to the plug-in: its refusal is the reason --list gave.
TEST(ModelHost, AnUnattendedExportWarnsOfLeftOutMeshes) {
    const std::string leftOut =
        "' is left out of the export: name begins with Hp but names neither Fixed nor "
        "Revolute\n";
    struct Case {
        const char* name;
        std::string obj;
        int status;
        std::string err;
    } cases[] = {
        {"every fate", EveryFateObj, 0,
         "modelhost: mesh 'Hp_Gun01" + leftOut + "modelhost: mesh 'HpFixed_Gun" + leftOut},
        {"a name with control characters",
         "v 0 0 0\nv 1 0 0\nv 0 1 0\no Hull\nf 1 2 3\n"
         "o Hp\x1B[31mGun\nf 1 2 3\n",
         0, "modelhost: mesh 'Hp\\x1B[31mGun" + leftOut},
        {"refused by the plug-in", OverTheTriangleLimitObj() + "o Hp_Gun\nf 1 2 3\n", 1,
         "modelhost: mesh 'Hp_Gun" + leftOut +
             "Error exporting VMS file: Error: " + TriangleLimitReason + "\n"},
    };
    for (const Case& c : cases) {
        ScratchFolder scratch;
        WriteWholeFile("plan.obj", c.obj);
        WriteWholeFile("plan.mtl", "newmtl Plate\nKd 1 1 1\n");
        Outcome run = RunCommand(ModelHost("--save-as plan.cmp plan.obj"));
        EXPECT_EQ(run.status, c.status) << c.name << "\n" << run.out << run.err;
        EXPECT_EQ(run.err, c.err) << c.name;
        EXPECT_EQ(fs::exists("plan.cmp"), c.status == 0) << c.name;
    }
}

// What the warning says is so: the file of a model with left-out meshes is, byte for
// byte, the file of the same model without them.
TEST(ModelHost, LeftOutMeshesAreInNoPartOfTheFile) {
    ScratchFolder scratch;
    WriteWholeFile("plan.mtl", "newmtl Plate\nKd 1 1 1\n");
    WriteWholeFile("all.obj", EveryFateObj);
    std::string kept = EveryFateObj;
    for (const char* name : {"o Hp_Gun01\nf 1 2 3\n", "o HpFixed_Gun\nf 1 2 3\n"}) {
        kept.erase(kept.find(name), std::string(name).size());
    }
    WriteWholeFile("kept.obj", kept);
    Outcome all = RunCommand(ModelHost("--save-as all.cmp all.obj"));
    Outcome without = RunCommand(ModelHost("--save-as kept.cmp kept.obj"));
    ASSERT_EQ(all.status, 0) << all.out << all.err;
    ASSERT_EQ(without.status, 0) << without.out << without.err;
    EXPECT_EQ(without.err, "");
    const std::string bytes = ReadWholeFile("all.cmp");
    EXPECT_EQ(bytes.substr(0, 4), "UTF ");
    EXPECT_TRUE(bytes == ReadWholeFile("kept.cmp")) << "the left-out meshes left a trace";
}

// A hardpoint marked by one point, or two, is placed at that point, or midway; its name
// and kind come from the name as for any hardpoint mesh.
TEST(ModelHost, PointsNamedAsAHardpointPlaceIt) {
    ScratchFolder scratch;
    WriteWholeFile("points.obj",
                   "v 0 0 0\nv 1 0 0\nv 0 1 0\no Hull\nf 1 2 3\n"
                   "o Hp_Fixed_Gun\nv 9.2 -4.6 1.84\np 4\n"
                   "o Hp_Revolute_Top\nv 0 0 0\nv 1.84 1.84 1.84\np 5 6\n");
    Outcome list = RunCommand(ModelHost("--list points.obj"));
    EXPECT_TRUE(Contains(list.out,
                         "export: 1 geometry mesh, 1 Fixed hardpoint, 1 Revolute "
                         "hardpoint, 0 left out\n"))
        << list.out << list.err;
    Outcome run = RunCommand(ModelHost("--save-as points.cmp points.obj"));
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(run.err, "") << "no point is dropped";
    // The file's axes: 1/92 of the model's, Y and Z negated.
    Outcome info = RunCommand(std::string(CMPINFO_PATH) + " points.cmp");
    EXPECT_TRUE(Contains(info.out, "Gun\n          Orientation (36 bytes)")) << info.out;
    EXPECT_TRUE(Contains(info.out, "Position (12 bytes)\n              0.1 0.05 -0.02\n"))
        << info.out;
    EXPECT_TRUE(Contains(info.out, "Position (12 bytes)\n              0.01 -0.01 -0.01\n"))
        << info.out;
}

// A Collada file of one triangle whose <unit> is `metres`.
std::string ColladaTriangle(const std::string& metres) {
    return R"(<?xml version="1.0" encoding="utf-8"?>
<COLLADA xmlns="http://www.collada.org/2005/11/COLLADASchema" version="1.4.1">
 <asset><unit meter=")" +
           metres + R"("/><up_axis>Y_UP</up_axis></asset>
 <library_geometries><geometry id="g" name="G"><mesh>
  <source id="p"><float_array id="pa" count="9">0 0 0 2 0 0 0 2 0</float_array>
   <technique_common><accessor source="#pa" count="3" stride="3"><param name="X" type="float"/>
    <param name="Y" type="float"/><param name="Z" type="float"/></accessor></technique_common>
  </source>
  <vertices id="v"><input semantic="POSITION" source="#p"/></vertices>
  <triangles count="1"><input semantic="VERTEX" source="#v" offset="0"/><p>0 1 2</p></triangles>
 </mesh></geometry></library_geometries>
 <library_visual_scenes><visual_scene id="s" name="S">
  <node id="n" name="Hull"><instance_geometry url="#g"/></node>
 </visual_scene></library_visual_scenes>
 <scene><instance_visual_scene url="#s"/></scene>
</COLLADA>
)";
}

// Exit status and message for each way a run can end.
TEST(ModelHost, ExitStatusTellsHowTheRunEnded) {
    struct Case {
        const char* name;
        std::string arguments;
        void (*prepare)();
        int status;
        const char* errPart;
    } cases[] = {
        {"help", "--help", [] {}, 0, ""},
        {"bad option", "--frobnicate x.obj", [] {}, 2, "unknown option '--frobnicate'"},
        {"--json without --list", "--json " + Example("ship.obj"), [] {}, 2,
         "modelhost: --json goes with --list\n"},
        {"missing model", "--save-as out.cmp missing.obj", [] {}, 2, "cannot import 'missing.obj'"},
        {"missing plug-in", "--plugin ./nothing.so --save-as out.cmp " + Example("ship.obj"), [] {},
         2, "cannot load the plug-in './nothing.so'"},
        {"library without the entry",
         "--plugin " + std::string(MODEL_LIBRARY_PATH) + " --save-as out.cmp " +
             Example("ship.obj"),
         [] {}, 2, "has no CreatePlugIn"},
        {"export refused", "--save-as out.cmp " + Example("ship.obj"),
         [] { fs::create_directory("___temp.vms"); }, 1,
         "Error exporting VMS file: Error: Could not open export file"},
        {"empty model", "--save-as out.cmp empty.obj",
         [] { WriteWholeFile("empty.obj", "v 0 0 0\nv 1 0 0\nl 1 2\n"); }, 0,
         "Ahem.. hello? :-): Warning: The model is empty!  Nothing exported!"},
        {"points and lines only", "--save-as out.cmp rig.obj",
         [] { WriteWholeFile("rig.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\np 1 2\nl 2 3\n"); }, 0,
         "modelhost: dropped 2 points and 1 line of 'rig.obj': only triangles are exported\n"
         "Ahem.. hello? :-): Warning: The model is empty!  Nothing exported!\n"},
        {"existing file kept", "--save-as out.cmp " + Example("ship.obj"),
         [] { WriteWholeFile("out.cmp", "mine"); }, 3, "already exists"},
        {"a damaged unit", "--save-as out.cmp zero.dae",
         [] { WriteWholeFile("zero.dae", ColladaTriangle("0")); }, 2,
         "modelhost: cannot import 'zero.dae': its unit, <unit meter=\"0\">, is no length from "
         "0.000001 to 1000000 metres\n"},
    };
    for (const Case& c : cases) {
        ScratchFolder scratch;
        c.prepare();
        Outcome run = RunCommand(ModelHost(c.arguments));
        EXPECT_EQ(run.status, c.status) << c.name << "\n" << run.out << run.err;
        EXPECT_TRUE(Contains(run.err, c.errPart)) << c.name << ": " << run.err;
        if (fs::exists("out.cmp")) {
            EXPECT_EQ(ReadWholeFile("out.cmp"), "mine") << c.name;
        }
    }
}

// What modelhost prints is read by scripts and the Blender add-on: output that never
// arrived is told, and a run that otherwise went well ends with status 4 instead of 0.
TEST(ModelHost, StandardOutputThatIsLostIsToldAndIsNoSuccess) {
    struct Case {
        const char* name;
        std::string arguments;
        int status;
        bool written;  // out.cmp, by the export itself
    } cases[] = {
        {"list", "--list " + Example("ship.obj"), 4, false},
        {"list as JSON", "--list --json " + Example("ship.obj"), 4, false},
        {"version", "--version", 4, false},
        {"export", "--save-as out.cmp " + Example("ship.obj"), 4, true},
        {"failed export", "--save-as out.cmp " + Example("ship.obj"), 1, false},
    };
    for (const Case& c : cases) {
        ScratchFolder scratch;
        if (c.status == 1) {
            fs::create_directory("___temp.vms");  // the export's temporary file cannot be made
        }
        Outcome run = RunCommand("sh -c '" + ModelHost(c.arguments) + " >/dev/full'");
        EXPECT_EQ(run.status, c.status) << c.name << "\n" << run.err;
        EXPECT_TRUE(Contains(run.err,
                             "modelhost: cannot write to standard output: No space left on "
                             "device\n"))
            << c.name << "\n"
            << run.err;
        EXPECT_EQ(fs::exists("out.cmp"), c.written) << c.name;
    }
}

// A copy of modelhost away from its plug-in says where the plug-in belongs: beside it,
// or in an installed copy's folder.
TEST(ModelHost, ACopyWithoutItsPlugInSaysWhereItBelongs) {
    ScratchFolder scratch;
    fs::create_directory("bin");
    fs::copy_file(MODELHOST_PATH, "bin/modelhost");
    fs::copy_file(MODEL_LIBRARY_PATH, fs::path("bin") / fs::path(MODEL_LIBRARY_PATH).filename());
    Outcome run = RunCommand("bin/modelhost --save-as out.cmp " + Example("ship.obj"));
    EXPECT_EQ(run.status, 2) << run.out << run.err;
    const std::string here = scratch.GetPath().string();
    EXPECT_TRUE(Contains(run.err,
                         "modelhost: cannot find the plug-in libcmpexport.so: it is "
                         "neither beside modelhost ('" +
                             here +
                             "/bin/libcmpexport.so') nor in the folder of an "
                             "installed copy ('" +
                             here + "/lib/cmpexport/'); name it with --plugin PATH\n"))
        << run.err;
    EXPECT_FALSE(fs::exists("out.cmp"));
}

// A run that is to write a file and writes none says why, in the console's one shape and
// then in modelhost's own words, ends with status 3 and leaves nothing behind.
TEST(ModelHost, ARunThatWritesNoFileSaysWhyAndEndsWithStatusThree) {
    const std::string tooLong(260, 'n');
    struct Case {
        const char* name;
        std::string arguments;   // before the model (and variables before modelhost)
        std::string why;         // the console's, after "Export QV CMP: "
        std::string unaccepted;  // the --save-as answer; empty: none was given
        const char* workIn = ".";
        std::string reason = "";  // modelhost's, when not the usual one for the arguments
    } cases[] = {
        {"missing folder", "--save-as missing/k.cmp", "The folder <here>/missing does not exist.",
         "missing/k.cmp"},
        {"folder with its slash", "--save-as sub/", "<here>/sub/ is a folder; choose a file name.",
         "sub/"},
        {"folder with a dot", "--save-as sub.d", "<here>/sub.d is a folder; choose a file name.",
         "sub.d"},
        {"path over 255", "--save-as " + tooLong,
         "The path <here>/" + tooLong + ".cmp is longer than 255 characters (it has <length>).",
         tooLong},
        {"empty path", "--save-as ''", "--save-as is empty.", ""},
        {"vanished working folder", "--save-as k.cmp", "The current folder no longer exists.",
         "k.cmp", "gone"},
        {"existing file", "--save-as kept.cmp",
         "<here>/kept.cmp already exists and --overwrite was not given.", "kept.cmp"},
        {"no terminal", "--ui console",
         "There is no terminal to ask on and CMPEXPORT_SAVE_AS is not set.", ""},
        // Who set the variables by hand reads about them, options or not.
        {"existing file, the user's own variables",
         "CMPEXPORT_SAVE_AS=kept.cmp CMPEXPORT_OVERWRITE=no <modelhost> --ui console",
         "<here>/kept.cmp already exists and CMPEXPORT_OVERWRITE is not \"yes\".", "", ".",
         "the save dialog did not accept 'kept.cmp' (CMPEXPORT_SAVE_AS)"},
        {"empty path, the user's own variable", "CMPEXPORT_SAVE_AS= <modelhost> --ui console",
         "CMPEXPORT_SAVE_AS is empty.", "", ".",
         "the save dialog did not accept '' (CMPEXPORT_SAVE_AS)"},
        {"a line break in the folder's name", "--save-as 'new\nfolder/k.cmp'",
         "The folder <here>/new\\x0Afolder does not exist.", "new\\x0Afolder/k.cmp"},
    };
    for (const Case& c : cases) {
        ScratchFolder scratch;
        fs::create_directories("sub.d");
        fs::create_directories("sub");
        WriteWholeFile("kept.cmp", "mine");
        const std::string here = scratch.GetPath().string();
        std::string why = c.why;
        const std::string hereMark = "<here>";
        if (const std::size_t at = why.find(hereMark); at != std::string::npos) {
            why.replace(at, hereMark.size(), here);
        }
        if (const std::size_t at = why.find("<length>"); at != std::string::npos) {
            why.replace(at, 8, std::to_string(here.size() + 1 + tooLong.size() + 4));
        }
        std::string arguments = c.arguments;
        if (const std::size_t at = arguments.find("<modelhost> "); at != std::string::npos) {
            arguments.replace(at, 12, ModelHost(""));
        } else {
            arguments = ModelHost(arguments);
        }
        const std::string command = std::string(c.workIn) == "gone"
                                        ? "sh -c 'mkdir gone && cd gone && rmdir ../gone && exec " +
                                              arguments + " " + Example("ship.obj") + "'"
                                        : arguments + " " + Example("ship.obj");
        Outcome run = RunCommand(command);
        EXPECT_EQ(run.status, 3) << c.name << "\n" << run.out << run.err;
        const std::string reason =
            !c.reason.empty() ? c.reason
            : std::string(c.arguments).rfind("--save-as", 0) == 0
                ? "the save dialog did not accept '" + c.unaccepted + "'"
                : "there is no terminal to ask for its name on (give --save-as FILE)";
        EXPECT_EQ(run.err, "Export QV CMP: " + why +
                               " Nothing exported.\nmodelhost: the export "
                               "wrote no file: " +
                               reason + "\n")
            << c.name;
        EXPECT_TRUE(Contains(run.out, "RunExport returned 0\n")) << c.name;
        EXPECT_EQ(scratch.Contents(), (std::vector<std::string>{"kept.cmp", "sub", "sub.d"}))
            << c.name;
        EXPECT_TRUE(fs::is_empty("sub")) << c.name << ": no hidden sub/.cmp";
        EXPECT_EQ(ReadWholeFile("kept.cmp"), "mine") << c.name;
    }
}

// The export never replaces a file its model was read from, however the path names it and
// however the save dialog came to it (the option, the variables by hand, the default
// extension added to the answer): refused by the plug-in before anything is written, with
// status 1, every file left as it was and nothing staged.
TEST(ModelHost, RefusesToExportOverTheFilesOfItsModel) {
    const std::string obj =
        "mtllib ship.mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\no Hull\nusemtl Plate\nf 1 2 3\n";
    const std::string mtl = "newmtl Plate\nKd 1 1 1\n";
    struct Case {
        const char* what;
        std::string model;                     // which file to import
        std::function<std::string()> command;  // makes what it needs, gives what goes before
                                               // the model: variables, modelhost, options
        std::string target;                    // the path the message names, from <here>
        std::string named;                     // how the message names the file
    };
    const std::string overwrite = ModelHost("--overwrite --save-as ");
    const std::vector<Case> cases = {
        {"the model itself", "ship.obj", [&] { return overwrite + "ship.obj"; }, "ship.obj",
         "the model file"},
        {"another spelling", "ship.obj", [&] { return overwrite + "./sub/../ship.obj"; },
         "./sub/../ship.obj", "the model file"},
        {"its absolute path", "ship.obj",
         [&] { return overwrite + fs::absolute("ship.obj").string(); }, "ship.obj",
         "the model file"},
        {"a link to it", "ship.obj",
         [&] {
             fs::create_symlink("ship.obj", "link.cmp");
             return overwrite + "link.cmp";
         },
         "link.cmp", "the model file"},
        {"a link to a link to it", "ship.obj",
         [&] {
             fs::create_symlink("ship.obj", "link1");
             fs::create_symlink("link1", "link2.cmp");
             return overwrite + "link2.cmp";
         },
         "link2.cmp", "the model file"},
        {"a hard link of it", "ship.obj",
         [&] {
             fs::create_hard_link("ship.obj", "hard.cmp");
             return overwrite + "hard.cmp";
         },
         "hard.cmp", "the model file"},
        {"the material library", "ship.obj", [&] { return overwrite + "ship.mtl"; }, "ship.mtl",
         "'<here>/ship.mtl', which the model refers to"},
        {"the model given through a link", "link.obj",
         [&] {
             fs::create_symlink("ship.obj", "link.obj");
             return overwrite + "ship.obj";
         },
         "ship.obj", "the model file"},
        {"the variables by hand", "ship.obj",
         [] {
             return "CMPEXPORT_SAVE_AS=ship.obj CMPEXPORT_OVERWRITE=yes " +
                    ModelHost("--ui console");
         },
         "ship.obj", "the model file"},
        {"a model called .cmp, named without the extension", "ship.cmp",
         [&] {
             fs::rename("ship.obj", "ship.cmp");
             return overwrite + "ship";
         },
         "ship.cmp", "the model file"},
        {"a material library called .cmp, named without the extension", "lib.obj",
         [&] {
             WriteWholeFile("lib.obj", "mtllib lib.cmp\nv 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
             WriteWholeFile("lib.cmp", mtl);
             return overwrite + "lib";
         },
         "lib.cmp", "'<here>/lib.cmp', which the model refers to"},
        {"a line break in the model's name", "'two\nlines.obj'",
         [&] {
             fs::copy_file("ship.obj", "two\nlines.obj");
             return overwrite + "'two\nlines.obj'";
         },
         "two\\x0Alines.obj", "the model file"},
    };
    for (const Case& c : cases) {
        ScratchFolder scratch;
        fs::create_directory("sub");
        WriteWholeFile("ship.obj", obj);
        WriteWholeFile("ship.mtl", mtl);
        const std::string command = c.command();
        std::map<std::string, std::string> before;
        for (const std::string& name : scratch.Contents()) {
            before[name] = fs::is_regular_file(name) ? ReadWholeFile(name) : "";
        }
        Outcome run = RunCommand(command + " " + c.model);
        EXPECT_EQ(run.status, 1) << c.what << "\n" << run.out << run.err;
        const std::string here = scratch.GetPath().string();
        std::string named = c.named;
        if (const std::size_t at = named.find("<here>"); at != std::string::npos) {
            named.replace(at, 6, here);
        }
        EXPECT_TRUE(Contains(run.err, "Error exporting CMP file: Error: Will not export to '" +
                                          here + "/" + c.target + "': it is " + named +
                                          ", and the export would replace the file it is made "
                                          "from.\n"))
            << c.what << ": " << run.err;
        EXPECT_TRUE(Contains(run.out, "RunExport returned -1\n")) << c.what;
        std::map<std::string, std::string> after;
        for (const std::string& name : scratch.Contents()) {
            after[name] = fs::is_regular_file(name) ? ReadWholeFile(name) : "";
        }
        EXPECT_EQ(after, before) << c.what;
    }
}

// Runs modelhost in the current folder on a pseudo-terminal of its own, with `typed` typed
// ahead as a person at the terminal would, and no display: the console's dialogs ask
// there. Gives the exit status and all the terminal showed (echo included); a run that
// still waits after a minute is killed and fails the test.
Outcome RunOnATerminal(const std::vector<std::string>& arguments, const std::string& typed) {
    int terminal = -1;
    const pid_t child = forkpty(&terminal, nullptr, nullptr, nullptr);
    if (child == 0) {
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "CMPEXPORT_UI", "CMPEXPORT_SAVE_AS",
                                 "CMPEXPORT_OVERWRITE", "CMPEXPORT_TRANSCRIPT"}) {
            unsetenv(name);
        }
        std::vector<char*> argv{const_cast<char*>(MODELHOST_PATH)};
        for (const std::string& argument : arguments) {
            argv.push_back(const_cast<char*>(argument.c_str()));
        }
        argv.push_back(nullptr);
        execv(MODELHOST_PATH, argv.data());
        _exit(127);
    }
    if (child < 0) {
        ADD_FAILURE() << "no pseudo-terminal: " << std::strerror(errno);
        return {-1, "", ""};
    }
    EXPECT_EQ(write(terminal, typed.data(), typed.size()), static_cast<ssize_t>(typed.size()));
    std::string shown;
    pollfd waiting{terminal, POLLIN, 0};
    char bytes[4096];
    for (;;) {
        if (poll(&waiting, 1, 60000) <= 0) {
            ADD_FAILURE() << "modelhost still waits on the terminal:\n" << shown;
            kill(child, SIGKILL);
            break;
        }
        const ssize_t got = read(terminal, bytes, sizeof bytes);
        if (got <= 0) {
            break;  // EIO: the program has ended, closing the terminal's other side
        }
        shown.append(bytes, static_cast<std::size_t>(got));
    }
    int raw = 0;
    waitpid(child, &raw, 0);
    close(terminal);
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, shown, ""};
}

// A person at the terminal who types the model's own name and agrees to replace it is
// refused all the same: the plug-in checks the path its dialog returns, however chosen.
TEST(ModelHost, APersonAtTheTerminalCannotExportOverTheModel) {
    ScratchFolder scratch;
    const std::string obj = "v 0 0 0\nv 1 0 0\nv 0 1 0\no Hull\nf 1 2 3\n";
    WriteWholeFile("ship.obj", obj);
    Outcome run = RunOnATerminal({"--ui", "console", "ship.obj"}, "ship.obj\ny\n\n");
    EXPECT_EQ(run.status, 1) << run.out;
    EXPECT_TRUE(Contains(run.out, "ship.obj already exists. Replace it? [y/N]")) << run.out;
    EXPECT_TRUE(Contains(run.out, "Error: Will not export to '" + scratch / "ship.obj" +
                                      "': it is the model file, and the export would replace "
                                      "the file it is made from."))
        << run.out;
    EXPECT_EQ(ReadWholeFile("ship.obj"), obj);
    EXPECT_EQ(scratch.Contents(), std::vector<std::string>{"ship.obj"});
}

// Names come from model files: printed raw, escape sequences in them would command the
// terminal and line breaks would break the tree. Both the model's summary and the result
// dialog's tree show them escaped.
TEST(ModelHost, NamesReachTheTerminalEscaped) {
    ScratchFolder scratch;
    WriteWholeFile("evil.obj",
                   "mtllib evil.mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\n"
                   "o Title\x1B]0;owned\x07\nusemtl Red\x1B[31m\nf 1 2 3\n"
                   "o Caf\xC3\xA9\nf 1 3 2\n");
    WriteWholeFile("evil.mtl", "newmtl Red\x1B[31m\nKd 1 0 0\n");
    struct Case {
        const char* arguments;
        const char* shown;
    } cases[] = {
        {"--list evil.obj",
         "  Title\\x1B]0;owned\\x07: 3 vertices, 1 triangles, material 'Red\\x1B[31m'\n"
         "  Caf\xC3\xA9: 3 vertices"},  // UTF-8 stays as it is
        {"--save-as evil.cmp evil.obj", "── Title\\x1B]0;owned\\x07.lod0.vms\n"},
    };
    for (const Case& c : cases) {
        Outcome run = RunCommand(ModelHost(c.arguments));
        ASSERT_EQ(run.status, 0) << c.arguments << "\n" << run.out << run.err;
        EXPECT_TRUE(Contains(run.out, c.shown)) << c.arguments << "\n" << run.out;
        EXPECT_EQ(run.out.find('\x1B'), std::string::npos) << c.arguments;
        EXPECT_EQ(run.out.find('\x07'), std::string::npos) << c.arguments;
        EXPECT_EQ(run.err, "") << c.arguments;
    }
}

// The desktop dialogs are a library of their own, which the plug-in loads only to show
// them: an export from the console or from Blender never waits for GTK to load, and a
// plug-in without that library beside it says so and exports from the console.
TEST(ModelHost, TheDesktopDialogsAreLoadedOnlyToBeShown) {
    const std::string plugIn =
        (fs::path(MODELHOST_PATH).parent_path() / "libcmpexport.so").string();
    const Outcome needed = RunCommand("readelf -d " + plugIn);
    ASSERT_TRUE(Contains(needed.out, "(NEEDED)")) << needed.out;
    EXPECT_FALSE(Contains(needed.out, "gtk")) << needed.out;

    ScratchFolder scratch;
    fs::copy_file(plugIn, "libcmpexport.so");
    const Outcome run = RunCommand(
        "env DISPLAY=:99 " +
        ModelHost("--ui gtk --plugin libcmpexport.so --save-as ship.cmp " + Example("ship.obj")));
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(Contains(run.err, "the desktop dialogs could not be loaded (")) << run.err;
    EXPECT_TRUE(Contains(run.err, "libcmpexport_gtk.so")) << run.err;
    EXPECT_TRUE(fs::exists("ship.cmp"));
}

// A plug-in named on the command line is a file from the working folder, even without a
// slash; the first line says which file was loaded.
TEST(ModelHost, APlugInNamedOnTheCommandLineIsAPath) {
    const std::string ownCopy =
        (fs::path(MODELHOST_PATH).parent_path() / "libcmpexport.so").string();
    struct Case {
        const char* name;
        std::string arguments;
        int status;
        std::string outPart;  // "<here>" stands for the working folder
        std::string errPart;
    } cases[] = {
        {"default", "", 0, "plug-in: " + ownCopy + "\n", ""},
        {"a bare name", "--plugin mine.so", 0, "plug-in: <here>/mine.so\n", ""},
        {"a relative path", "--plugin ./sub/../mine.so", 0, "plug-in: <here>/./sub/../mine.so\n",
         ""},
        {"an absolute path", "--plugin " + ownCopy, 0, "plug-in: " + ownCopy + "\n", ""},
        {"not a library", "--plugin junk.so", 2, "",
         "modelhost: cannot load the plug-in 'junk.so': <here>/junk.so: "},
        {"the working folder's copy, not modelhost's", "--plugin libcmpexport.so", 2, "",
         "modelhost: cannot load the plug-in 'libcmpexport.so': <here>/libcmpexport.so: "},
        {"missing", "--plugin absent.so", 2, "",
         "modelhost: cannot load the plug-in 'absent.so': <here>/absent.so: cannot open"},
    };
    for (const Case& c : cases) {
        ScratchFolder scratch;
        fs::create_directory("sub");
        fs::copy_file(ownCopy, "mine.so");
        WriteWholeFile("junk.so", "not a library");
        WriteWholeFile("libcmpexport.so", "not this one either");
        auto placed = [&scratch](std::string text) {
            if (const std::size_t at = text.find("<here>"); at != std::string::npos) {
                text.replace(at, 6, scratch.GetPath().string());
            }
            return text;
        };
        Outcome run = RunCommand(ModelHost(c.arguments + " --list " + Example("ship.obj")));
        EXPECT_EQ(run.status, c.status) << c.name << "\n" << run.out << run.err;
        EXPECT_TRUE(Contains(run.out, placed(c.outPart))) << c.name << "\n" << run.out;
        EXPECT_TRUE(Contains(run.err, placed(c.errPart))) << c.name << "\n" << run.err;
    }
}

// A model file that crashes, hangs or exhausts the importer costs modelhost nothing but
// a message: status 2, the file and the reason named, nothing written, an existing
// output kept. The test-only variables shorten the limits.
void ExpectBadModelRefused(const char* file, const std::string& content,
                           const std::string& environment, const std::string& reason) {
    ScratchFolder scratch;
    WriteWholeFile(file, content);
    WriteWholeFile("out.cmp", "mine");
    Outcome run =
        RunCommand(environment + ModelHost("--save-as out.cmp --overwrite " + std::string(file)));
    EXPECT_EQ(run.status, 2) << file << "\n" << run.out << run.err;
    EXPECT_TRUE(
        Contains(run.err, "modelhost: cannot import '" + std::string(file) + "': " + reason))
        << file << ": " << run.err;
    EXPECT_FALSE(Contains(run.out, "RunExport")) << file;
    EXPECT_EQ(ReadWholeFile("out.cmp"), "mine") << file;
    EXPECT_FALSE(fs::exists("___temp.vms")) << file;
}

TEST(ModelHost, ABadModelFileEndsWithStatusTwoAndItsReason) {
    ExpectBadModelRefused("cut.ply", TruncatedBinaryPly(), "",
                          "the importer crashed (signal 11, Segmentation fault)");
    ExpectBadModelRefused("parts.3mf", PackageWithoutItsModel(), "",
                          "the importer crashed (signal 6, Aborted)");
    ExpectBadModelRefused("endless.ply", EndlessAsciiPly(), "MODELHOST_IMPORT_SECONDS=1 ",
                          "the importer took longer than 1 s");
    ExpectBadModelRefused("garbage.obj", "\x01\x02 not a model", "", "");
}

TEST(ModelHost, AModelFileThatExhaustsMemoryEndsWithStatusTwo) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "under AddressSanitizer a failed operator new ends the process with the "
                    "sanitizer's report instead of throwing std::bad_alloc";
#endif
    ExpectBadModelRefused("vast.ply", VastAsciiPly(), "MODELHOST_IMPORT_MEMORY_MIB=256 ",
                          "the importer ran out of memory");
}

// Nothing of the place an export runs from reaches the file: the same model, named by
// a relative and by an absolute path, exported from two working folders to a relative
// and an absolute output path, gives the same bytes. The STL part has no names of its
// own, so its mesh is named after the file, never the path.
TEST(ModelHost, TheSameModelGivesTheSameBytesFromAnyWorkingFolder) {
    ScratchFolder scratch;
    const fs::path root = scratch.GetPath();
    fs::create_directories(root / "one");
    fs::create_directories(root / "two" / "deeper");
    fs::create_directories(root / "models");
    WriteWholeFile(root / "models" / "part.stl",
                   "solid\nfacet normal 0 0 1\nouter loop\nvertex 0 0 0\nvertex 1 0 0\n"
                   "vertex 0 1 0\nendloop\nendfacet\nendsolid\n");
    for (const std::string& model :
         {Example("ship.obj"), (root / "models" / "part.stl").string()}) {
        const std::string relative = fs::relative(model, root / "one").string();
        fs::current_path(root / "one");
        Outcome first = RunCommand(ModelHost("--save-as first.cmp " + relative));
        fs::current_path(root / "two" / "deeper");
        Outcome second =
            RunCommand(ModelHost("--save-as " + (root / "second.cmp").string() + " " + model));
        fs::current_path(root);
        ASSERT_EQ(first.status, 0) << first.out << first.err;
        ASSERT_EQ(second.status, 0) << second.out << second.err;
        const std::string bytes = ReadWholeFile(root / "one" / "first.cmp");
        EXPECT_EQ(bytes.substr(0, 4), "UTF ") << model;
        EXPECT_EQ(bytes, ReadWholeFile(root / "second.cmp")) << model;
        EXPECT_EQ(bytes.find(root.string()), std::string::npos) << model;
        fs::remove(root / "one" / "first.cmp");
        fs::remove(root / "second.cmp");
    }
}

// A real full disk: a small tmpfs in a mount namespace of its own, filled before the
// export. The tree file cannot be written there, nor the mesh data file when the run
// works in that folder; either way the message says so, the exit status is 1, the disk
// holds nothing new and the file that was there is unchanged. Skipped where the system
// lets no namespace mount anything.
TEST(ModelHost, AFullDiskEndsTheExportAndKeepsTheOldFile) {
    struct Case {
        const char* name;
        const char* workIn;  // the run's current folder, relative to the scratch folder
        const char* saveAs;  // relative to that folder
        const char* message;
    } cases[] = {
        {"tree file", ".", "disk/old.cmp",
         ".tmp': No space left on device\nA file that was already there is unchanged."},
        {"mesh data file", "disk", "../out.cmp",
         "Error exporting VMS file: Error: Could not write the temporary mesh data file: cannot "
         "write the mesh data file \"___temp.vms\": No space left on device"},
    };
    for (const Case& c : cases) {
        ScratchFolder scratch;
        fs::create_directory("disk");
        const std::string script =
            "mount -t tmpfs -o size=8k tmpfs disk || exit 77; printf old >disk/old.cmp; "
            "head -c 4096 /dev/zero >disk/filler; cd " +
            std::string(c.workIn) + " && " +
            ModelHost("--overwrite --save-as " + std::string(c.saveAs) + " " +
                      Example("ship.obj")) +
            "; echo \"status $?\"; cd " + scratch.GetPath().string() +
            " && echo left: && ls -A disk && cat disk/old.cmp";
        WriteWholeFile("full-disk.sh", script);
        Outcome run =
            RunCommand("sh -c 'unshare -rm sh full-disk.sh || unshare -m sh full-disk.sh'");
        if (run.status == 77 || Contains(run.err, "unshare failed")) {
            GTEST_SKIP() << "no tmpfs can be mounted here: " << run.err;
        }
        EXPECT_TRUE(Contains(run.err, c.message)) << c.name << "\n" << run.out << run.err;
        EXPECT_TRUE(Contains(run.out, "status 1\nleft:\nfiller\nold.cmp\nold")) << c.name << "\n"
                                                                                << run.out;
        EXPECT_FALSE(fs::exists("out.cmp")) << c.name;
    }
}

// README's demo command, on the programs this build made.
TEST(Demo, ExportsTheExampleShipAndChecksIt) {
    ScratchFolder scratch;
    Outcome run = RunCommand(std::string(SOURCE_DIR) + "/scripts/demo.sh --prebuilt " + BINARY_DIR);
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_TRUE(Contains(run.out, "RunExport returned 0\n"));
    EXPECT_TRUE(Contains(run.out, "== cmpinfo"));
    EXPECT_TRUE(Contains(run.out, "mesh reference"));
    EXPECT_EQ(ReadWholeFile(std::string(BINARY_DIR) + "/demo/kestrel.cmp").substr(0, 4), "UTF ");
}

}  // namespace

}  // namespace cmp
