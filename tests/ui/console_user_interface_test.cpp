#include "ui/user_interface.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <sstream>

#include "plugin/plugin.h"
#include "tests/support/file_contents.h"
#include "tests/support/scratch_folder.h"

namespace cmp {

namespace {

struct Console {
    explicit Console(ConsoleSettings settings, std::string input = "")
        : in(std::move(input)), ui(in, out, err, std::move(settings)) {}
    std::istringstream in;
    std::ostringstream out;
    std::ostringstream err;
    ConsoleUserInterface ui;
};

ConsoleSettings Unattended(std::optional<std::string> saveAs, bool overwrite = false) {
    ConsoleSettings settings;
    settings.saveAs = std::move(saveAs);
    settings.overwrite = overwrite;
    return settings;
}

ConsoleSettings Interactive() {
    ConsoleSettings settings;
    settings.interactive = true;
    return settings;
}

// What an unattended save dialog answers for a given CMPEXPORT_SAVE_AS in a folder
// holding a file "existing.cmp" and a folder "folder".
TEST(ConsoleSaveDialog, UnattendedAnswersFollowTheDialogRules) {
    ScratchFolder scratch;
    WriteWholeFile(scratch / "existing.cmp", "old");
    std::filesystem::create_directory(scratch / "folder.cmp");
    const std::string base = scratch.GetPath().string() + "/";
    const std::string longest = base + std::string(255 - base.size() - 4, 'n') + ".cmp";

    struct Case {
        std::optional<std::string> answer;
        bool overwrite;
        std::optional<std::string> expected;
    } cases[] = {
        {std::nullopt, false, std::nullopt},
        {"", false, std::nullopt},
        {"ship", false, base + "ship.cmp"},
        {".hidden", false, base + ".hidden"},  // the Windows dialog's rule
        {"ship.out", false, base + "ship.out"},
        {base + "ship.cmp", false, base + "ship.cmp"},
        {"missing/ship.cmp", false, std::nullopt},
        {"folder", false, std::nullopt},
        {"folder.cmp", false, std::nullopt},
        {"folder.cmp/", false, std::nullopt},  // not the hidden file "folder.cmp/.cmp"
        {"missing/", false, std::nullopt},
        {"existing.cmp", false, std::nullopt},
        {"existing", true, base + "existing.cmp"},
        {longest, false, longest},
        {longest + "x", false, std::nullopt},
    };
    for (const Case& c : cases) {
        Console console(Unattended(c.answer, c.overwrite));
        EXPECT_EQ(console.ui.AskSavePath(ExportSaveDialogOptions()), c.expected)
            << (c.answer ? *c.answer : "(unset)");
        EXPECT_EQ(console.out.str(), "") << "unattended dialogs print no prompt";
    }
    EXPECT_EQ(ReadWholeFile(scratch / "existing.cmp"), "old");
}

// Whatever keeps an unattended dialog from a path, it says why on the error stream in
// one shape: the dialog's title, the reason, and that nothing is exported.
TEST(ConsoleSaveDialog, UnattendedRefusalsSayWhyInOneShape) {
    ScratchFolder scratch;
    WriteWholeFile(scratch / "existing.cmp", "old");
    std::filesystem::create_directory(scratch / "folder.cmp");
    std::filesystem::create_directory(scratch / "gone");
    const std::string base = scratch.GetPath().string() + "/";
    const std::string tooLong = base + std::string(256 - base.size() - 4, 'n') + ".cmp";

    struct Case {
        std::optional<std::string> answer;
        std::string why;
        const char* workIn = ".";  // "gone": a working folder removed before the answer
        const char* option = "";   // the host's option that gave the answer
    } cases[] = {
        {std::nullopt, "There is no terminal to ask on and CMPEXPORT_SAVE_AS is not set."},
        {"", "CMPEXPORT_SAVE_AS is empty."},
        {"", "--save-as is empty.", ".", "--save-as"},
        {"existing.cmp", base + "existing.cmp already exists and --overwrite was not given.", ".",
         "--overwrite"},
        // A line break in a path is shown, not obeyed: the reason stays one line.
        {"line\nbreak", base + "line\\x0Abreak.cmp is a folder; choose a file name."},
        {"missing\nfolder/ship", "The folder " + base + "missing\\x0Afolder does not exist."},
        {"missing/ship", "The folder " + base + "missing does not exist."},
        {"folder.cmp", base + "folder.cmp is a folder; choose a file name."},
        {"folder.cmp/", base + "folder.cmp/ is a folder; choose a file name."},
        {"existing.cmp",
         base + "existing.cmp already exists and CMPEXPORT_OVERWRITE is not \"yes\"."},
        {tooLong, "The path " + tooLong + " is longer than 255 characters (it has 256)."},
        {"ship", "The current folder no longer exists.", "gone"},
        {"bell\a", base + "bell\\x07.cmp is a folder; choose a file name."},
    };
    for (const Case& c : cases) {
        const std::string shown = c.answer ? *c.answer : "(unset)";
        std::filesystem::create_directory(scratch / "bell\a.cmp");
        std::filesystem::create_directory(scratch / "line\nbreak.cmp");
        std::filesystem::current_path(scratch / c.workIn);
        if (std::string(c.workIn) == "gone") {
            std::filesystem::remove(scratch / "gone");
        }
        ConsoleSettings settings = Unattended(c.answer);
        settings.saveAsOption = std::string(c.option) == "--save-as" ? c.option : "";
        settings.overwriteOption = std::string(c.option) == "--overwrite" ? c.option : "";
        Console console(settings);
        EXPECT_EQ(console.ui.AskSavePath(ExportSaveDialogOptions()), std::nullopt) << shown;
        std::filesystem::current_path(scratch.GetPath());
        EXPECT_EQ(console.err.str(), "Export QV CMP: " + c.why + " Nothing exported.\n") << shown;
    }
}

TEST(ConsoleSaveDialog, InteractiveAsksAgainUntilAnAcceptableAnswer) {
    ScratchFolder scratch;
    WriteWholeFile(scratch / "taken.cmp", "old");
    std::filesystem::create_directory(scratch / "sub");
    const std::string base = scratch.GetPath().string() + "/";
    const std::string tooLong(300, 'x');
    struct Case {
        std::string input;
        std::optional<std::string> expected;
        std::string shown;  // part of what the dialog printed
    } cases[] = {
        {"ship\n", base + "ship.cmp", "Export QV CMP\nSave as type: CMP Files (*.cmp)\n"},
        {"missing/a\nship\n", base + "ship.cmp", "does not exist"},
        {"taken\nn\nother\n", base + "other.cmp", "taken.cmp already exists. Replace it? [y/N]"},
        {"taken\ny\n", base + "taken.cmp", "Replace it?"},
        {"\n", std::nullopt, "File name (empty to cancel): "},
        {"", std::nullopt, "File name"},
        {"taken\n", std::nullopt, "Replace it?"},  // end of input at the question
        // A folder typed with its separator is a folder, not the hidden file "sub/.cmp".
        {"sub/\nship\n", base + "ship.cmp",
         base + "sub/ is a folder; choose a file name.\nFile name"},
        {"sub\\\nship\n", base + "ship.cmp", "sub\\ is a folder; choose a file name."},
        {"missing/\nship\n", base + "ship.cmp", "missing/ is a folder; choose a file name."},
        {"sub.d/\n", std::nullopt, "sub.d/ is a folder"},
        // Too long a path is said and asked again, not the end of the export.
        {tooLong + "\nship\n", base + "ship.cmp",
         "The path " + base + tooLong + ".cmp is longer than 255 characters (it has " +
             std::to_string(base.size() + 300 + 4) + ").\nFile name"},
    };
    for (const Case& c : cases) {
        Console console(Interactive(), c.input);
        EXPECT_EQ(console.ui.AskSavePath(ExportSaveDialogOptions()), c.expected) << c.input;
        EXPECT_NE(console.out.str().find(c.shown), std::string::npos) << console.out.str();
        EXPECT_EQ(console.err.str(), "") << c.input;
    }
    EXPECT_EQ(scratch.Contents(), (std::vector<std::string>{"sub", "taken.cmp"}));
}

TEST(ConsoleMessage, UnattendedGoesToTheErrorStreamWithoutWaiting) {
    Console console(Unattended(std::nullopt), "never read\n");
    console.ui.ShowMessage("The model is empty!  Nothing exported!", "Ahem.. hello? :-)", 0x30);
    console.ui.ShowMessage("Disk full", "Error exporting VMS file", 0x10);
    EXPECT_EQ(console.err.str(),
              "Ahem.. hello? :-): Warning: The model is empty!  Nothing exported!\n"
              "Error exporting VMS file: Error: Disk full\n");
    EXPECT_EQ(console.out.str(), "");
    EXPECT_EQ(console.in.tellg(), 0) << "nothing may wait for input";
}

// Messages name meshes and paths, which come from files: their control characters are
// shown escaped, their lines stay lines.
TEST(ConsoleMessage, ShowsControlCharactersEscapedAndKeepsLines) {
    const std::string text =
        "mesh 'a\x1B]0;owned\x07"
        "b' is too large\nNothing was written.";
    const std::string shown = "mesh 'a\\x1B]0;owned\\x07b' is too large\nNothing was written.";
    Console unattended(Unattended(std::nullopt));
    unattended.ui.ShowMessage(text, "Cap\x1B[2Jtion", 0x10);
    EXPECT_EQ(unattended.err.str(), "Cap\\x1B[2Jtion: Error: " + shown + "\n");
    Console interactive(Interactive(), "\n");
    interactive.ui.ShowMessage(text, "Caption", 0x10);
    EXPECT_NE(interactive.out.str().find("Error: " + shown + "\n[ OK ]"), std::string::npos)
        << interactive.out.str();
}

TEST(ConsoleMessage, InteractiveShowsCaptionIconAndTextAndWaitsForEnter) {
    Console console(Interactive(), "\nnext line\n");
    console.ui.ShowMessage("Nothing exported!", "Ahem", 0x30);
    EXPECT_NE(console.out.str().find("[Ahem]\nWarning: Nothing exported!"), std::string::npos);
    std::string rest;
    std::getline(console.in, rest);
    EXPECT_EQ(rest, "next line") << "exactly one line is consumed";
}

NodeTree SmallTree() {
    NodeTree tree;
    NodeHandle root = tree.InsertNode({}, "\\");
    NodeHandle library = tree.InsertNode(root, "VMeshLibrary");
    tree.InsertNode(tree.InsertNode(library, "Hull.lod0.vms"), "VMeshData");
    tree.InsertNode(root, "Cmpnd");
    return tree;
}

// Every key that closes the result dialog, and what it leaves of the input.
TEST(ConsoleResultDialog, ClosesOnEnterEscapeQOrEndOfInput) {
    struct Case {
        const char* input;
        const char* left;
    } cases[] = {
        {"\nafter", "after"},
        {"\x1b\nafter", "after"},
        {"q\nafter", "after"},
        {"xyz\nafter", "after"},
        {"", ""},
    };
    for (const Case& c : cases) {
        Console console(Interactive(), c.input);
        NodeTree tree = SmallTree();
        int initialised = 0;
        console.ui.RunResultDialog("Quorvane CMP Exporter", [&]() -> const NodeTree* {
            ++initialised;
            return &tree;
        });
        EXPECT_EQ(initialised, 1);
        std::string left((std::istreambuf_iterator<char>(console.in)),
                         std::istreambuf_iterator<char>());
        EXPECT_EQ(left, c.left) << c.input;
        EXPECT_NE(console.out.str().find("Quorvane CMP Exporter\n\\\n├── VMeshLibrary"),
                  std::string::npos);
        EXPECT_NE(console.out.str().find("[ Continue ]"), std::string::npos);
    }
}

TEST(ConsoleResultDialog, UnattendedPrintsTheTreeAndGoesOn) {
    Console console(Unattended("x"), "never read\n");
    NodeTree tree = SmallTree();
    console.ui.RunResultDialog("Quorvane CMP Exporter", [&] { return &tree; });
    EXPECT_EQ(console.out.str(),
              "\nQuorvane CMP Exporter\n"
              "\\\n"
              "├── VMeshLibrary\n"
              "│   └── Hull.lod0.vms\n"
              "│       └── VMeshData\n"
              "└── Cmpnd\n");
    EXPECT_EQ(console.in.tellg(), 0);
}

TEST(ConsoleResultDialog, NullTreeEndsTheDialogUnseen) {
    Console console(Unattended("x"));
    console.ui.RunResultDialog("Caption", [] { return static_cast<const NodeTree*>(nullptr); });
    EXPECT_EQ(console.out.str(), "");
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) {
        lines.push_back(line);
    }
    return lines;
}

TEST(ConsoleTranscript, RecordsEveryExchangeOnOneLineEach) {
    ScratchFolder scratch;
    ConsoleSettings settings = Unattended("ship");
    settings.transcriptPath = scratch / "transcript.txt";
    Console console(settings);
    console.ui.ShowMessage("two\tfields\nand a line", "Caption", 0x10);
    std::optional<std::string> path = console.ui.AskSavePath(ExportSaveDialogOptions());
    NodeTree tree = SmallTree();
    console.ui.RunResultDialog("Quorvane CMP Exporter", [&] { return &tree; });

    std::vector<std::string> lines = Lines(ReadWholeFile(scratch / "transcript.txt"));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "message\t0x10\tCaption\ttwo\\tfields\\nand a line");
    EXPECT_EQ(lines[1],
              "save-dialog\tExport QV CMP\tCMP Files (*.cmp)|*.cmp|All Files (*.*)|*.*"
              "\tcmp\toverwrite-prompt hide-read-only path-must-exist\t255\tok\t" +
                  *path);
    EXPECT_EQ(lines[2],
              "result-dialog\tQuorvane CMP Exporter\t\\\\\\n├── VMeshLibrary\\n│   └── "
              "Hull.lod0.vms\\n│       └── VMeshData\\n└── Cmpnd\\n");
}

// The transcript's path is the user's: whatever else stands there is left alone, and a
// FIFO without a reader does not hold the run up.
TEST(ConsoleTranscript, WritesOnlyARegularFileNeverThroughALink) {
    ScratchFolder scratch;
    WriteWholeFile(scratch / "precious.txt", "mine");
    std::filesystem::create_symlink(scratch / "precious.txt", scratch / "link.txt");
    ASSERT_EQ(mkfifo((scratch / "fifo").c_str(), 0600), 0);
    for (const char* name : {"link.txt", "fifo"}) {
        ConsoleSettings settings = Unattended("ship");
        settings.transcriptPath = scratch / name;
        Console console(settings);
        console.ui.ShowMessage("text", "Caption", 0x10);
        console.ui.ShowMessage("more", "Caption", 0x10);
        // Said once, and the run goes on: the transcript only witnesses it.
        const std::string note =
            "the transcript is not written: cannot add to '" + settings.transcriptPath + "': ";
        const std::string err = console.err.str();
        EXPECT_NE(err.find(note), std::string::npos) << err;
        EXPECT_EQ(err.find(note), err.rfind(note)) << err;
        EXPECT_NE(err.find("more"), std::string::npos) << err;
    }
    EXPECT_EQ(ReadWholeFile(scratch / "precious.txt"), "mine");
    EXPECT_TRUE(std::filesystem::is_symlink(scratch / "link.txt"));
    EXPECT_TRUE(std::filesystem::is_fifo(scratch / "fifo"));
}

TEST(ConsoleSettings, ComeFromTheEnvironment) {
    setenv("CMPEXPORT_SAVE_AS", "out.cmp", 1);
    setenv("CMPEXPORT_OVERWRITE", "yes", 1);
    setenv("CMPEXPORT_TRANSCRIPT", "/tmp/t.txt", 1);
    setenv("CMPEXPORT_SAVE_AS_OPTION", "--save-as", 1);
    setenv("CMPEXPORT_OVERWRITE_OPTION", "--overwrite", 1);
    ConsoleSettings settings = ConsoleSettingsFromEnvironment();
    EXPECT_EQ(settings.saveAs, "out.cmp");
    EXPECT_TRUE(settings.overwrite);
    EXPECT_EQ(settings.transcriptPath, "/tmp/t.txt");
    EXPECT_EQ(settings.saveAsOption, "--save-as");
    EXPECT_EQ(settings.overwriteOption, "--overwrite");
    unsetenv("CMPEXPORT_SAVE_AS_OPTION");
    unsetenv("CMPEXPORT_OVERWRITE_OPTION");
    EXPECT_FALSE(settings.interactive) << "an answer given beforehand means unattended";

    setenv("CMPEXPORT_OVERWRITE", "YES please", 1);
    unsetenv("CMPEXPORT_SAVE_AS");
    unsetenv("CMPEXPORT_TRANSCRIPT");
    settings = ConsoleSettingsFromEnvironment();
    EXPECT_FALSE(settings.overwrite);
    EXPECT_FALSE(settings.saveAs.has_value());
    EXPECT_EQ(settings.transcriptPath, "");
    EXPECT_EQ(settings.saveAsOption, "");
    EXPECT_EQ(settings.overwriteOption, "");
    unsetenv("CMPEXPORT_OVERWRITE");
}

}  // namespace

}  // namespace cmp
