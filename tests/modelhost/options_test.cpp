#include "modelhost/options.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace cmp {

namespace {

TEST(ModelHostOptions, ParsesEveryOptionInBothSpellings) {
    Result<ModelHostOptions> parsed =
        ParseModelHostOptions({"--plugin", "p.so", "--save-as=out.cmp", "--overwrite", "--ui",
                               "gtk", "--list", "--json", "--first", "Hull", "ship.obj"});
    ASSERT_TRUE(parsed.ok()) << parsed.message();
    const ModelHostOptions& options = parsed.value();
    EXPECT_EQ(options.modelPath, "ship.obj");
    EXPECT_EQ(options.pluginPath, "p.so");
    EXPECT_EQ(options.saveAs, "out.cmp");
    EXPECT_TRUE(options.overwrite);
    EXPECT_EQ(options.ui, "gtk");
    EXPECT_TRUE(options.list);
    EXPECT_TRUE(options.json);
    EXPECT_EQ(options.first, "Hull");

    parsed = ParseModelHostOptions({"--", "--odd-name.obj"});
    ASSERT_TRUE(parsed.ok());
    EXPECT_EQ(parsed.value().modelPath, "--odd-name.obj");
    EXPECT_TRUE(ParseModelHostOptions({"--help"}).value().help);
}

// Values the user may well mean: an empty one, one that begins with a dash (a mesh the
// add-on names), the last of two, and model paths that look like options.
TEST(ModelHostOptions, TakeAnyValueAsGiven) {
    struct Case {
        std::vector<std::string> arguments;
        std::optional<std::string> saveAs;
        std::optional<std::string> first;
        std::string modelPath;
    } cases[] = {
        {{"--save-as=", "a.obj"}, "", std::nullopt, "a.obj"},
        {{"--save-as", "", "a.obj"}, "", std::nullopt, "a.obj"},
        {{"--first", "-Hull", "a.obj"}, std::nullopt, "-Hull", "a.obj"},
        {{"--first", "--list", "a.obj"}, std::nullopt, "--list", "a.obj"},
        {{"--save-as=x", "--save-as", "y", "a.obj"}, "y", std::nullopt, "a.obj"},
        {{"-"}, std::nullopt, std::nullopt, "-"},
        {{"/m/the ship.glb"}, std::nullopt, std::nullopt, "/m/the ship.glb"},
        {{"--", "--save-as="}, std::nullopt, std::nullopt, "--save-as="},
    };
    for (const Case& c : cases) {
        Result<ModelHostOptions> parsed = ParseModelHostOptions(c.arguments);
        ASSERT_TRUE(parsed.ok()) << c.arguments.front() << ": " << parsed.message();
        EXPECT_EQ(parsed.value().saveAs, c.saveAs) << c.arguments.front();
        EXPECT_EQ(parsed.value().first, c.first) << c.arguments.front();
        EXPECT_EQ(parsed.value().modelPath, c.modelPath) << c.arguments.front();
        EXPECT_FALSE(parsed.value().list) << c.arguments.front();
    }
}

TEST(ModelHostOptions, RefusesWhatItCannotUse) {
    struct Case {
        std::vector<std::string> arguments;
        const char* message;
    } cases[] = {
        {{}, "no model file given"},
        {{"a.obj", "b.obj"}, "give exactly one model file"},
        {{"--save-as"}, "--save-as needs a value"},
        {{"a.obj", "--first"}, "--first needs a value"},
        {{"--ui", "fancy", "a.obj"}, "--ui must be console, gtk or auto, not 'fancy'"},
        {{"--colour", "a.obj"}, "unknown option '--colour'"},
        {{"--list=yes", "a.obj"}, "unknown option '--list=yes'"},
        {{"--", "a.obj", "--colour"}, "give exactly one model file"},
        {{"--json", "a.obj"}, "--json goes with --list"},
        {{"--plan", "p.json", "a.obj"}, "--plan goes with --save-as (and not with --list)"},
        {{"--plan=p.json", "--list", "--save-as", "a.cmp", "a.obj"},
         "--plan goes with --save-as (and not with --list)"},
    };
    for (const Case& c : cases) {
        Result<ModelHostOptions> parsed = ParseModelHostOptions(c.arguments);
        ASSERT_FALSE(parsed.ok()) << c.message;
        EXPECT_EQ(parsed.message(), c.message);
    }
}

// The options reach the plug-in's dialogs as environment variables, each answer with the
// option it came from (empty: the user's own variable, left as it is), and the files the
// export must not write over as one netstring list.
TEST(ModelHostOptions, BecomeThePlugInsEnvironment) {
    using Variables = std::vector<std::pair<std::string, std::string>>;
    const std::vector<std::string> sources = {"/m/ship.obj", "/m/a,b:c.mtl"};
    const std::pair<std::string, std::string> keep = {"CMPEXPORT_KEEP_FILES",
                                                      "11:/m/ship.obj,12:/m/a,b:c.mtl,"};
    struct Case {
        std::optional<std::string> saveAs;
        bool overwrite;
        std::optional<std::string> ui;
        Variables variables;
    } cases[] = {
        {std::nullopt,
         false,
         std::nullopt,
         {{"CMPEXPORT_SAVE_AS_OPTION", ""}, {"CMPEXPORT_OVERWRITE_OPTION", ""}, keep}},
        {"out.cmp",
         false,
         std::nullopt,
         {{"CMPEXPORT_SAVE_AS", "out.cmp"},
          {"CMPEXPORT_OVERWRITE", "no"},
          {"CMPEXPORT_SAVE_AS_OPTION", "--save-as"},
          {"CMPEXPORT_OVERWRITE_OPTION", "--overwrite"},
          {"CMPEXPORT_UI", "console"},
          keep}},
        {"out.cmp",
         true,
         "auto",
         {{"CMPEXPORT_SAVE_AS", "out.cmp"},
          {"CMPEXPORT_OVERWRITE", "yes"},
          {"CMPEXPORT_SAVE_AS_OPTION", "--save-as"},
          {"CMPEXPORT_OVERWRITE_OPTION", "--overwrite"},
          {"CMPEXPORT_UI", "auto"},
          keep}},
        {std::nullopt,
         true,
         "gtk",
         {{"CMPEXPORT_OVERWRITE", "yes"},
          {"CMPEXPORT_SAVE_AS_OPTION", ""},
          {"CMPEXPORT_OVERWRITE_OPTION", "--overwrite"},
          {"CMPEXPORT_UI", "gtk"},
          keep}},
    };
    for (const Case& c : cases) {
        ModelHostOptions options;
        options.saveAs = c.saveAs;
        options.overwrite = c.overwrite;
        options.ui = c.ui;
        EXPECT_EQ(PlugInEnvironment(options, sources), c.variables)
            << c.saveAs.value_or("(none)") << " " << c.overwrite;
    }
}

// Which runs must end with a file: those told one with --save-as, and those whose save
// dialog is the console's with nobody at a terminal or with its answer set beforehand.
// A person at a dialog may cancel.
TEST(ModelHostOptions, SayWhenARunMustWriteAFile) {
    const auto around = [](bool terminal, bool display, std::optional<std::string> ui,
                           std::optional<std::string> saveAs = std::nullopt) {
        RunSurroundings surroundings;
        surroundings.terminal = terminal;
        surroundings.display = display;
        surroundings.ui = std::move(ui);
        surroundings.saveAs = std::move(saveAs);
        return surroundings;
    };
    struct Case {
        std::optional<std::string> saveAs;
        std::optional<std::string> ui;
        RunSurroundings surroundings;
        bool mustWrite;
    } cases[] = {
        {"out.cmp", std::nullopt, around(true, true, std::nullopt), true},
        {"out.cmp", "gtk", around(false, true, std::nullopt), true},
        {"", std::nullopt, around(false, false, std::nullopt), true},
        {std::nullopt, std::nullopt, around(false, false, std::nullopt), true},  // nobody to ask
        {std::nullopt, std::nullopt, around(true, false, std::nullopt), false},  // the terminal
        {std::nullopt, std::nullopt, around(false, true, std::nullopt), false},  // GTK asks
        {std::nullopt, "console", around(false, true, std::nullopt), true},
        {std::nullopt, std::nullopt, around(false, true, "console"), true},
        {std::nullopt, std::nullopt, around(false, false, "gtk"), false},
        {std::nullopt, std::nullopt, around(false, false, "nonsense"), true},  // auto: console
        {std::nullopt, "auto", around(false, true, "console"), false},         // the option wins
        // An answer in CMPEXPORT_SAVE_AS: the console asks nobody, GTK opens on it.
        {std::nullopt, "console", around(true, false, std::nullopt, "out.cmp"), true},
        {std::nullopt, std::nullopt, around(true, true, std::nullopt, "out.cmp"), false},
    };
    int row = 0;
    for (const Case& c : cases) {
        ModelHostOptions options;
        options.saveAs = c.saveAs;
        options.ui = c.ui;
        EXPECT_EQ(MustWriteAFile(options, c.surroundings), c.mustWrite) << "row " << row;
        ++row;
    }
}

// Why nothing was written, in the words of what the user gave.
TEST(ModelHostOptions, SayWhyNothingWasWrittenInTheUsersWords) {
    struct Case {
        std::optional<std::string> option;
        std::optional<std::string> variable;
        const char* reason;
    } cases[] = {
        {"a\nb.cmp", "v.cmp", "the save dialog did not accept 'a\\x0Ab.cmp'"},
        {std::nullopt, "v.cmp", "the save dialog did not accept 'v.cmp' (CMPEXPORT_SAVE_AS)"},
        {std::nullopt, std::nullopt,
         "there is no terminal to ask for its name on (give --save-as FILE)"},
    };
    for (const Case& c : cases) {
        ModelHostOptions options;
        options.saveAs = c.option;
        RunSurroundings surroundings;
        surroundings.saveAs = c.variable;
        EXPECT_EQ(NothingWrittenReason(options, surroundings),
                  std::string("the export wrote no file: ") + c.reason);
    }
}

TEST(ModelHostOptions, SayWhatTheImportDropped) {
    struct Case {
        ImportSummary summary;
        const char* note;
    } cases[] = {
        {{0, 0, {}}, ""},
        {{1, 0, {}}, "dropped 1 point of 'm\\x1B.obj': only triangles are exported"},
        {{0, 1, {}}, "dropped 1 line of 'm\\x1B.obj': only triangles are exported"},
        {{2, 3, {}}, "dropped 2 points and 3 lines of 'm\\x1B.obj': only triangles are exported"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DroppedGeometryNote("m\x1B.obj", c.summary), c.note);
    }
}

TEST(ModelHostOptions, TakeAPlugInPathFromTheWorkingFolder) {
    const std::string here = std::filesystem::current_path().string();
    EXPECT_EQ(PlugInPathToLoad("p.so"), here + "/p.so");
    EXPECT_EQ(PlugInPathToLoad("lib/p.so"), here + "/lib/p.so");
    EXPECT_EQ(PlugInPathToLoad("/opt/p.so"), "/opt/p.so");
}

}  // namespace

}  // namespace cmp
