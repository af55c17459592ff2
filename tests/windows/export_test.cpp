// Whole exports through slot 3, one test for each way a run can go; each runs in a Wine
// process of its own (see CMakeLists.txt).
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "tests/windows/export_case.h"
#include "tests/windows/plugin_test.h"

namespace cmp {

namespace fs = std::filesystem;

namespace {

const DialogAnswer pressContinue = Answer(DialogKind::Result, DialogAction::PressContinue);
const DialogAnswer pressOk = Answer(DialogKind::MessageBox, DialogAction::Ok);

// `test` as a run that completes: the save dialog answered, then `afterSave`, the result
// dialog shown and the file written.
ExportCase Completing(ExportCase test, std::vector<DialogAnswer> afterSave = {pressContinue}) {
    test.afterSave = std::move(afterSave);
    test.saveDialogShown = true;
    test.resultDialogShown = true;
    test.fileWritten = true;
    return test;
}

}  // namespace

using PlugInExport = PlugInTest;

TEST_F(PlugInExport, NullModel) {
    RunExportCase(Library(), {.name = "null model", .model = ModelChoice::Null, .result = -1});
}

TEST_F(PlugInExport, EmptyModel) {
    RunExportCase(Library(), {.name = "empty model",
                              .model = ModelChoice::Empty,
                              .afterSave = {pressOk},
                              .boxes = {{EmptyCaption, EmptyText, WarningBox}}});
}

// A model of hardpoints only is not empty: the save dialog comes, and is cancelled.
TEST_F(PlugInExport, SaveDialogCancelled) {
    RunExportCase(Library(), {.name = "save dialog cancelled",
                              .model = ModelChoice::OnlyHardpoints,
                              .saveDialogShown = true});
}

// The message users know, with the file's full path and why on a line below it.
const std::string StreamTextAndPath = std::string(StreamText) + "\n";

TEST_F(PlugInExport, TemporaryStreamCannotBeCreated) {
    RunExportCase(Library(),
                  {.name = "temporary stream cannot be created",
                   .prepare = [](const ScratchFolder&) { fs::create_directory(TempStream); },
                   .typedName = "blocked.cmp",
                   .afterSave = {pressOk},
                   .result = -1,
                   .saveDialogShown = true,
                   .boxes = {{StreamCaption, StreamTextAndPath.c_str(), ErrorBox, false}}});
}

// What stands at the stream's name before the run: a file of the user's stays as it is
// and the run is refused; so is a file another program (another export) holds open
// without sharing it, after the run has waited for it; a killed run's leftover (a whole
// mesh data stream that nobody holds) is replaced, and the export completes.
TEST_F(PlugInExport, WhatStandsAtTheStreamsNameIsNeverTakenFromItsOwner) {
    const std::string userFile = "my notes";
    RunExportCase(Library(),
                  {.name = "a file of the user's",
                   .prepare = [&](const ScratchFolder&) { std::ofstream(TempStream) << userFile; },
                   .typedName = "ship.cmp",
                   .afterSave = {pressOk},
                   .result = -1,
                   .saveDialogShown = true,
                   .boxes = {{StreamCaption, StreamTextAndPath.c_str(), ErrorBox, false}},
                   .keptStream = userFile});

    const std::string held = "held by another export";
    HANDLE holder = INVALID_HANDLE_VALUE;
    DialogAnswer release = pressOk;
    release.afterClose = [&] { CloseHandle(holder); };
    const DWORD started = GetTickCount();
    RunExportCase(Library(),
                  {.name = "a file another program holds",
                   .prepare =
                       [&](const ScratchFolder&) {
                           holder = CreateFileA(TempStream, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                                FILE_ATTRIBUTE_NORMAL, nullptr);
                           DWORD wrote = 0;
                           WriteFile(holder, held.data(), static_cast<DWORD>(held.size()), &wrote,
                                     nullptr);
                       },
                   .typedName = "ship.cmp",
                   .afterSave = {release},
                   .result = -1,
                   .saveDialogShown = true,
                   .boxes = {{StreamCaption, StreamTextAndPath.c_str(), ErrorBox, false}},
                   .keptStream = held});
    EXPECT_GE(GetTickCount() - started, 4000u) << "the run waited for the other export";

    // A stream header that counts no mesh: sixteen bytes, all a whole stream needs.
    const std::string leftover("\1\0\0\0\4\0\0\0\0\0\0\0\x12\x01\0\0", 16);
    RunExportCase(Library(), Completing({.name = "a killed run's leftover",
                                         .prepare =
                                             [&](const ScratchFolder&) {
                                                 std::ofstream(TempStream, std::ios::binary)
                                                     << leftover;
                                             },
                                         .typedName = "ship.cmp"}));
}

// Saving as the stream's own file is refused before anything is written.
TEST_F(PlugInExport, SavingAsTheTemporaryStreamRefused) {
    for (const char* typed : {"___temp.vms", "___TEMP.VMS"}) {
        RunExportCase(Library(),
                      {.name = std::string("saved as ") + typed,
                       .typedName = typed,
                       .afterSave = {pressOk},
                       .result = -1,
                       .saveDialogShown = true,
                       .boxes = {{TreeCaption,
                                  "Could not export to ___temp.vms: that is the name of the "
                                  "exporter's temporary file in the current folder.",
                                  ErrorBox, false}}});
    }
}

// Every way of closing the result dialog completes the export.
TEST_F(PlugInExport, Completed) {
    const std::pair<const char*, DialogAction> closings[] = {
        {"Continue", DialogAction::PressContinue},
        {"Escape", DialogAction::PressEscape},
        {"Enter", DialogAction::PressEnter},
        {"IDOK", DialogAction::CommandOk},
        {"the close box", DialogAction::CloseBox}};
    for (const auto& [how, action] : closings) {
        RunExportCase(Library(), Completing({.name = std::string("completed, closed with ") + how,
                                             .model = ModelChoice::Hardpoints,
                                             .typedName = "ship.cmp"},
                                            {Answer(DialogKind::Result, action)}));
    }
}

TEST_F(PlugInExport, DefaultExtensionAdded) {
    RunExportCase(Library(), Completing({.name = "default extension added",
                                         .typedName = "cube",
                                         .writtenName = "cube.cmp"}));
}

// An existing file: the overwrite prompt, then the file replaced.
TEST_F(PlugInExport, ExistingFileReplaced) {
    RunExportCase(Library(),
                  Completing({.name = "existing file",
                              .prepare =
                                  [](const ScratchFolder& scratch) {
                                      std::ofstream(scratch / "old.cmp") << "not a tree file";
                                  },
                              .typedName = "old.cmp"},
                             {Answer(DialogKind::MessageBox, DialogAction::Yes), pressContinue}));
}

TEST_F(PlugInExport, OverTheFormatsLimitsRefused) {
    RunExportCase(Library(), {.name = "model over the format's limits",
                              .model = ModelChoice::OverLimit,
                              .typedName = "huge.cmp",
                              .afterSave = {pressOk},
                              .result = -1,
                              .saveDialogShown = true,
                              .boxes = {{StreamCaption, nullptr, ErrorBox}}});
}

// The longest path the dialog can return reaches the file whole; one more character
// and the dialog fails, which ends the run like a cancel.
TEST_F(PlugInExport, PathOf255Characters) {
    RunExportCase(Library(), Completing({.name = "path of 255 characters", .pathLength = 255}));
}

TEST_F(PlugInExport, PathOf256Characters) {
    RunExportCase(Library(),
                  {.name = "path of 256 characters", .pathLength = 256, .saveDialogShown = true});
}

// The folder vanishes after it was chosen (a drive removed, say): the tree cannot be
// written; the dialog still shows it, then the user is told.
TEST_F(PlugInExport, TreeFileCannotBeWritten) {
    RunExportCase(
        Library(),
        {.name = "tree file cannot be written",
         .prepare =
             [](const ScratchFolder& scratch) { fs::create_directory(scratch.GetPath() / "gone"); },
         .typedName = "gone\\out.cmp",
         .afterSaveClosed =
             [](const ScratchFolder& scratch) { fs::remove(scratch.GetPath() / "gone"); },
         .afterSave = {pressContinue, pressOk},
         .result = -1,
         .saveDialogShown = true,
         .resultDialogShown = true,
         .boxes = {{TreeCaption, nullptr, ErrorBox}}});
}

}  // namespace cmp
