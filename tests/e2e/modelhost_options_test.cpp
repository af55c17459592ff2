#include "standin/modelhost_options.h"

#include <gtest/gtest.h>

namespace cmp {

namespace {

TEST(ModelHostOptions, ParsesEveryOptionInBothSpellings) {
    Result<ModelHostOptions> parsed =
        ParseModelHostOptions({"--plugin", "p.so", "--save-as=out.cmp", "--overwrite", "--ui",
                               "gtk", "--list", "ship.obj"});
    ASSERT_TRUE(parsed.ok()) << parsed.message();
    const ModelHostOptions& options = parsed.value();
    EXPECT_EQ(options.modelPath, "ship.obj");
    EXPECT_EQ(options.pluginPath, "p.so");
    EXPECT_EQ(options.saveAs, "out.cmp");
    EXPECT_TRUE(options.overwrite);
    EXPECT_EQ(options.ui, "gtk");
    EXPECT_TRUE(options.list);

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

}  // namespace

}  // namespace cmp
