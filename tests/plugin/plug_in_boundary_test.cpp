// The plug-in as a host meets it: the built library loaded with dlopen, CreatePlugIn
// resolved by name, and every operation called through the object's slot table. The
// console interface stands in for the user, answering from environment variables and
// writing what it showed to a transcript.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>

#include "host/HostPlugIn.h"
#include "tests/plugin/plug_in_test_support.h"
#include "ui/user_interface.h"
#include "utf/utf.h"

namespace cmp {

namespace {

namespace fs = std::filesystem;

// One plug-in object, freed through slot 0 as a host frees it.
class PlugIn {
  public:
    PlugIn() : object_(CreateFromPlugInLibrary()) {}
    ~PlugIn() {
        if (object_ != nullptr) {
            EXPECT_EQ(object_->slots->destroy(object_, 1), object_);
        }
    }
    PlugIn(const PlugIn&) = delete;
    PlugIn& operator=(const PlugIn&) = delete;

    HostPlugIn* get() const { return object_; }
    std::int32_t Kind() const { return object_->slots->queryKind(object_); }
    const char* Title() const { return object_->slots->queryTitle(object_); }
    std::int32_t Run(ztModel model) const { return object_->slots->runExport(object_, model); }

  private:
    HostPlugIn* object_;
};

// The answers the console gives and where it writes its transcript.
void SetUser(const ScratchFolder& scratch, const std::string& saveAs, bool overwrite) {
    setenv("CMPEXPORT_UI", "console", 1);
    setenv("CMPEXPORT_SAVE_AS", saveAs.c_str(), 1);
    setenv("CMPEXPORT_OVERWRITE", overwrite ? "yes" : "no", 1);
    setenv("CMPEXPORT_TRANSCRIPT", (scratch / "transcript.txt").c_str(), 1);
}

TEST(PlugInBoundary, ExportsOnlyCreatePlugIn) {
    std::FILE* pipe = popen("nm -D --defined-only " CMPEXPORT_PLUGIN_PATH, "r");
    ASSERT_NE(pipe, nullptr);
    std::string symbols;
    char line[512];
    while (std::fgets(line, sizeof line, pipe) != nullptr) {
        symbols += line;
    }
    ASSERT_EQ(pclose(pipe), 0);
    // "<address> T CreatePlugIn" and nothing else.
    EXPECT_EQ(symbols.substr(symbols.find(' ') + 1), "T CreatePlugIn\n") << symbols;
}

TEST(PlugInBoundary, EveryCallCreatesANewObjectOverTheSameFourSlots) {
    PlugIn first;
    PlugIn second;
    ASSERT_NE(first.get(), nullptr);
    ASSERT_NE(second.get(), nullptr);
    EXPECT_NE(first.get(), second.get());
    EXPECT_EQ(first.get()->slots, second.get()->slots);
    EXPECT_EQ(first.Kind(), 2);
    const char* title = first.Title();
    EXPECT_STREQ(title, "Quorvane CMP...");
    EXPECT_EQ(first.Title(), title) << "the same address on every call";
    EXPECT_EQ(title, reinterpret_cast<const char*>(first.get()) + sizeof(void*))
        << "the title is the object's own member, right after the table pointer";
    EXPECT_NE(second.Title(), title);
}

TEST(PlugInBoundary, SlotZeroFreesTheMemoryOnlyWhenBitZeroIsSet) {
    HostPlugIn* object = CreateFromPlugInLibrary();
    ASSERT_NE(object, nullptr);
    const HostPlugInSlots* slots = object->slots;
    // Bit 0 clear: destroyed but not freed, so freeing it afterwards is no double free
    // (AddressSanitizer would catch one); bit 0 set: freed (LeakSanitizer would see a
    // leak otherwise).
    EXPECT_EQ(slots->destroy(object, 0), object);
    EXPECT_EQ(slots->destroy(object, 0x2), object);
    EXPECT_EQ(slots->destroy(object, 1), object);
}

TEST(PlugInBoundary, NullModelIsRefusedWithoutAnyCallOrMessage) {
    ScratchFolder scratch;
    SetUser(scratch, "ship.cmp", false);
    PlugIn plugIn;
    const std::int32_t nullCalls = ztBuild_NullHandleCalls();
    const std::int32_t destroyed = ztBuild_DestroyCount();
    EXPECT_EQ(plugIn.Run(nullptr), -1);
    EXPECT_EQ(ztBuild_NullHandleCalls(), nullCalls);
    EXPECT_EQ(ztBuild_DestroyCount(), destroyed);
    EXPECT_FALSE(fs::exists(scratch / "transcript.txt"));
    EXPECT_FALSE(fs::exists(scratch / "ship.cmp"));
}

// What the user saw: the kind of each exchange and, for boxes, the type and caption.
struct Shown {
    std::string kind;  // "message", "save-dialog ok", "save-dialog cancel", "result-dialog"
    std::string type = {};
    std::string caption = {};
    std::string textPart = {};  // a part of the box's text (all of it where it is fixed)
};

struct RunCase {
    const char* name;
    void (*build)(ztModel);
    std::string saveAs;  // relative to the scratch folder
    bool overwrite;
    std::function<void(const ScratchFolder&)> prepare;
    std::int32_t result;
    std::vector<Shown> shown;
    bool modelDestroyed;
    const char* output;  // the file expected to hold a fresh tree, or null for none
};

const char* const Empty = "The model is empty!  Nothing exported!";
const char* const NotCreated =
    "Could not open export file for some reason, check if it's not being used by another "
    "application!";

void NoPreparation(const ScratchFolder&) {}

std::vector<RunCase> RunCases() {
    const Shown saved{"save-dialog ok"};
    const Shown cancelled{"save-dialog cancel"};
    const Shown dialog{"result-dialog"};
    return {
        {"empty model",
         BuildEmptyModel,
         "ship.cmp",
         false,
         NoPreparation,
         0,
         {{"message", "0x30", "Ahem.. hello? :-)", Empty}},
         false,
         nullptr},
        {"negative mesh count",
         BuildNegativeCount,
         "ship.cmp",
         false,
         NoPreparation,
         0,
         {{"message", "0x30", "Ahem.. hello? :-)", Empty}},
         false,
         nullptr},
        {"save dialog cancelled",
         BuildShip,
         "",
         false,
         NoPreparation,
         0,
         {cancelled},
         false,
         nullptr},
        {"only hardpoints reach the save dialog",
         BuildOnlyHardpoints,
         "",
         false,
         NoPreparation,
         0,
         {cancelled},
         false,
         nullptr},
        {"existing file kept",
         BuildShip,
         "old.cmp",
         false,
         [](const ScratchFolder& s) { WriteWholeFile(s / "old.cmp", "old"); },
         0,
         {cancelled},
         false,
         nullptr},
        {"format limits refused",
         BuildBadIndex,
         "ship.cmp",
         false,
         NoPreparation,
         -1,
         {saved, {"message", "0x10", "Error exporting VMS file", "Hull"}},
         false,
         nullptr},
        {"temporary file cannot be created",
         BuildShip,
         "ship.cmp",
         false,
         [](const ScratchFolder& s) { fs::create_directory(s / "___temp.vms"); },
         -1,
         {saved,
          {"message", "0x10", "Error exporting VMS file", std::string(NotCreated) + "\n/tmp/"}},
         false,
         nullptr},
        {"a link at the temporary file's name",
         BuildShip,
         "ship.cmp",
         false,
         [](const ScratchFolder& s) { fs::create_symlink("/dev/full", s / "___temp.vms"); },
         -1,
         {saved,
          {"message", "0x10", "Error exporting VMS file",
           "/___temp.vms: a link of that name is in the way; it is not followed"}},
         false,
         nullptr},
        {"saved as the temporary file",
         BuildShip,
         "___temp.vms",
         false,
         NoPreparation,
         -1,
         {saved,
          {"message", "0x10", "Error exporting CMP file",
           "Could not export to ___temp.vms: that is the name of the exporter's temporary file"}},
         false,
         nullptr},
        {"completed",
         BuildShip,
         "ship.cmp",
         false,
         NoPreparation,
         0,
         {saved, dialog},
         true,
         "ship.cmp"},
        {"default extension",
         BuildShip,
         "ship",
         false,
         NoPreparation,
         0,
         {saved, dialog},
         true,
         "ship.cmp"},
        {"existing file replaced",
         BuildShip,
         "old.cmp",
         true,
         [](const ScratchFolder& s) { WriteWholeFile(s / "old.cmp", "old"); },
         0,
         {saved, dialog},
         true,
         "old.cmp"},
        {"tree file cannot be written",
         BuildShip,
         "old.cmp",
         true,
         [](const ScratchFolder& s) {
             WriteWholeFile(s / "old.cmp", "old");
             fs::create_hard_link(s / "old.cmp", s / "old-too.cmp");
         },
         -1,
         {saved, dialog, {"message", "0x10", "Error exporting CMP file", "old.cmp: cannot"}},
         true,
         nullptr},
    };
}

void ExpectShown(const std::vector<TranscriptRecord>& records, const std::vector<Shown>& shown,
                 const std::string& name) {
    ASSERT_EQ(records.size(), shown.size()) << name;
    for (std::size_t i = 0; i < shown.size(); ++i) {
        const TranscriptRecord& record = records[i];
        const Shown& expected = shown[i];
        std::string kind = record[0];
        if (kind == "save-dialog") {
            ASSERT_EQ(record.size(), 8u);
            kind += " " + record[6];
            EXPECT_EQ(record[1], "Export QV CMP");
            EXPECT_EQ(record[2], "CMP Files (*.cmp)|*.cmp|All Files (*.*)|*.*");
            EXPECT_EQ(record[3], "cmp");
            EXPECT_EQ(record[4], "overwrite-prompt hide-read-only path-must-exist");
            EXPECT_EQ(record[5], "255");
        }
        EXPECT_EQ(kind, expected.kind) << name << ", exchange " << i;
        if (kind == "message") {
            ASSERT_EQ(record.size(), 4u);
            EXPECT_EQ(record[1], expected.type) << name;
            EXPECT_EQ(record[2], expected.caption) << name;
            EXPECT_NE(record[3].find(expected.textPart), std::string::npos)
                << name << ": " << record[3];
        }
        if (kind == "result-dialog") {
            EXPECT_EQ(record[1], "Quorvane CMP Exporter");
            EXPECT_NE(record[2], "(empty)\n") << name << ": the dialog shows the built tree";
        }
    }
}

// The tree a file holds, drawn as the console draws the dialog's view.
std::string TreeInFile(const fs::path& path) {
    std::string bytes = ReadWholeFile(path);
    NodeTree tree;
    const Status error = ReadUtfFile(Bytes(bytes.begin(), bytes.end()), tree);
    if (!error) {
        return "unreadable: " + error.message();
    }
    return DrawTree(tree);
}

TEST(PlugInBoundary, EveryPathOfARunShowsAndLeavesWhatItShould) {
    for (const RunCase& c : RunCases()) {
        ScratchFolder scratch;
        c.prepare(scratch);
        const fs::file_type streamNameBefore = fs::symlink_status(scratch / "___temp.vms").type();
        const std::string before = ReadWholeFile(scratch / "old.cmp");
        SetUser(scratch, c.saveAs, c.overwrite);
        PlugIn plugIn;
        ztModel model = CreateTestModel(c.build);
        const std::int32_t destroyed = ztBuild_DestroyCount();

        EXPECT_EQ(plugIn.Run(model), c.result) << c.name;

        EXPECT_EQ(ztBuild_DestroyCount() - destroyed, c.modelDestroyed ? 1 : 0) << c.name;
        if (!c.modelDestroyed) {
            ztModel_Destroy(model);
        }
        const std::vector<TranscriptRecord> records = ReadTranscript(scratch / "transcript.txt");
        ExpectShown(records, c.shown, c.name);
        // What stood at the stream's name is still there, as it was; nothing else is.
        EXPECT_EQ(fs::symlink_status(scratch / "___temp.vms").type(), streamNameBefore) << c.name;
        EXPECT_FALSE(fs::exists(scratch / "old.cmp.tmp") &&
                     !fs::is_directory(scratch / "old.cmp.tmp"));
        if (c.output != nullptr) {
            // The dialog showed exactly the tree that the file holds.
            ASSERT_EQ(records.back()[0], "result-dialog") << c.name;
            EXPECT_EQ(TreeInFile(scratch / c.output), records.back()[2]) << c.name;
        } else {
            EXPECT_FALSE(fs::exists(scratch / "ship.cmp")) << c.name;
            EXPECT_EQ(ReadWholeFile(scratch / "old.cmp"), before) << c.name;
        }
    }
}

TEST(PlugInBoundary, PathLimitIsTwoHundredFiftyFiveCharacters) {
    ScratchFolder scratch;
    const std::string base = scratch.GetPath().string() + "/";
    const std::string longest = base + std::string(255 - base.size() - 4, 'n') + ".cmp";
    ASSERT_EQ(longest.size(), 255u);
    PlugIn plugIn;

    SetUser(scratch, longest + "x", false);
    ztModel model = CreateTestModel(BuildShip);
    EXPECT_EQ(plugIn.Run(model), 0);
    ztModel_Destroy(model);
    EXPECT_EQ(fs::directory_iterator(scratch.GetPath())->path().filename(), "transcript.txt");

    SetUser(scratch, longest, false);
    EXPECT_EQ(plugIn.Run(CreateTestModel(BuildShip)), 0);
    EXPECT_EQ(TreeInFile(longest).substr(0, 2), "\\\n");
}

TEST(PlugInBoundary, RepeatedRunsOnOneObjectWriteIdenticalFiles) {
    ScratchFolder scratch;
    PlugIn plugIn;
    const char* title = plugIn.Title();
    for (const char* name : {"first.cmp", "second.cmp"}) {
        SetUser(scratch, name, false);
        EXPECT_EQ(plugIn.Run(CreateTestModel(BuildShip)), 0);
        EXPECT_EQ(plugIn.Title(), title);
        EXPECT_STREQ(plugIn.Title(), "Quorvane CMP...");
    }
    const std::string first = ReadWholeFile(scratch / "first.cmp");
    EXPECT_EQ(first.substr(0, 4), "UTF ");
    EXPECT_EQ(first, ReadWholeFile(scratch / "second.cmp"));
}

}  // namespace

}  // namespace cmp
