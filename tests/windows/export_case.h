// Whole exports through slot 3, as a user would run them: every path of a run, its
// dialogs answered by the dialog driver, what the plug-in asked of Windows recorded by
// the import spy, and the files left behind.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/plugin_library.h"
#include "tests/windows/host/dialog_driver.h"
#include "tests/windows/host/host_support.h"

namespace cmp {

// What the user sees, written down here from the user's side.
inline constexpr const char* TempStream = "___temp.vms";
inline constexpr const char* ResultCaption = "Quorvane CMP Exporter";
inline constexpr const char* StreamCaption = "Error exporting VMS file";
inline constexpr const char* StreamText =
    "Could not open export file for some reason, check if it's not being used by another "
    "application!";
inline constexpr const char* TreeCaption = "Error exporting CMP file";
inline constexpr const char* EmptyText = "The model is empty!  Nothing exported!";
inline constexpr const char* EmptyCaption = "Ahem.. hello? :-)";
inline constexpr UINT WarningBox = MB_ICONWARNING;
inline constexpr UINT ErrorBox = MB_ICONERROR;

struct ExpectedBox {
    const char* caption;
    const char* text;  // null: any text (the reason is the plug-in's to word)
    UINT type;
    bool wholeText = true;  // false: `text` is how the box's text begins
};

// One export case, run in a fresh scratch folder.
struct ExportCase {
    std::string name{};
    ModelChoice model = ModelChoice::Cube;
    // What to prepare in the scratch folder before the run.
    std::function<void(const ScratchFolder&)> prepare = nullptr;
    // What is typed into the save dialog, relative to the scratch folder; empty: Cancel.
    std::string typedName{};
    // The file the export writes there; empty: the typed name.
    std::string writtenName{};
    // When not 0, the typed name is made up so that the full path has this length.
    std::size_t pathLength = 0;
    // Runs once the save dialog has closed.
    std::function<void(const ScratchFolder&)> afterSaveClosed = nullptr;
    // The dialogs after the save dialog, in order.
    std::vector<DialogAnswer> afterSave{};
    std::int32_t result = 0;
    bool saveDialogShown = false;
    bool resultDialogShown = false;
    bool fileWritten = false;
    std::vector<ExpectedBox> boxes{};
    // The content of a file of the user's that stands at the stream's name and must stay
    // as it is; empty: nothing may stand there after the run.
    std::string keptStream{};
};

inline DialogAnswer Answer(DialogKind kind, DialogAction action) {
    return {kind, action, {}, {}};
}

// Runs `test` through the plug-in of `library` and checks, with GoogleTest's
// assertions, everything the case says and everything every run must do: the save
// dialog exactly as asked for, the message boxes in order, the result dialog against the
// written file, the model destroyed exactly when the dialog ran, no stream left behind.
void RunExportCase(const cmp::PlugInLibrary& library, const ExportCase& test);

}  // namespace cmp
