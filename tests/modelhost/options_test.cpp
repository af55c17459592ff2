#include "modelhost/options.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace cmp {

namespace {

TEST(ModelHostOptions, ParsesEveryOptionInBothSpellings) {
    Result<ModelHostOptions> parsed =
        ParseModelHostOptions({"--plugin", "p.so", "--save-as=out.cmp", "--overwrite", "--ui",
                               "gtk", "--list", "--first", "Hull", "ship.obj"});
    ASSERT_TRUE(parsed.ok()) << parsed.message();
    const ModelHostOptions& options = parsed.value();
    EXPECT_EQ(options.modelPath, "ship.obj");
    EXPECT_EQ(options.pluginPath, "p.so");
    EXPECT_EQ(options.saveAs, "out.cmp");
    EXPECT_TRUE(options.overwrite);
    EXPECT_EQ(options.ui, "gtk");
    EXPECT_TRUE(options.list);
    EXPECT_EQ(options.first, "Hull");

    parsed = ParseModelHostOptions({"--", "--odd-name.obj"});
    ASSERT_TRUE(parsed.ok());
    EXPECT_EQ(parsed.value().modelPath, "--odd-name.obj");
    EXPECT_TRUE(ParseModelHostOptions({"--help"}).value().help);
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
    };
    for (const Case& c : cases) {
        Result<ModelHostOptions> parsed = ParseModelHostOptions(c.arguments);
        ASSERT_FALSE(parsed.ok()) << c.message;
        EXPECT_EQ(parsed.message(), c.message);
    }
}

// The options reach the plug-in's dialogs as environment variables.
TEST(ModelHostOptions, BecomeThePlugInsEnvironment) {
    using Variables = std::vector<std::pair<std::string, std::string>>;
    ModelHostOptions options;
    EXPECT_EQ(PlugInEnvironment(options), Variables{});
    options.saveAs = "out.cmp";
    EXPECT_EQ(PlugInEnvironment(options), (Variables{{"CMPEXPORT_SAVE_AS", "out.cmp"},
                                                     {"CMPEXPORT_OVERWRITE", "no"},
                                                     {"CMPEXPORT_UI", "console"}}));
    options.overwrite = true;
    options.ui = "auto";
    EXPECT_EQ(PlugInEnvironment(options), (Variables{{"CMPEXPORT_SAVE_AS", "out.cmp"},
                                                     {"CMPEXPORT_OVERWRITE", "yes"},
                                                     {"CMPEXPORT_UI", "auto"}}));
}

// Which runs must end with a file: those told one with --save-as, and those whose save
// dialog is the console's with nobody at a terminal. A person at a dialog may cancel.
TEST(ModelHostOptions, SayWhenARunMustWriteAFile) {
    struct Case {
        std::optional<std::string> saveAs;
        std::optional<std::string> ui;
        RunSurroundings surroundings;
        bool mustWrite;
    } cases[] = {
        {"out.cmp", std::nullopt, {true, true, std::nullopt}, true},
        {"out.cmp", "gtk", {false, true, std::nullopt}, true},
        {"", std::nullopt, {false, false, std::nullopt}, true},
        {std::nullopt, std::nullopt, {false, false, std::nullopt}, true},  // nobody to ask
        {std::nullopt, std::nullopt, {true, false, std::nullopt}, false},  // the terminal asks
        {std::nullopt, std::nullopt, {false, true, std::nullopt}, false},  // GTK asks
        {std::nullopt, "console", {false, true, std::nullopt}, true},
        {std::nullopt, std::nullopt, {false, true, "console"}, true},
        {std::nullopt, std::nullopt, {false, false, "gtk"}, false},
        {std::nullopt, std::nullopt, {false, false, "nonsense"}, true},  // auto: console
        {std::nullopt, "auto", {false, true, "console"}, false},         // the option wins
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
