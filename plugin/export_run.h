// One export of a host model: the road from the empty-model check to the clean-up.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/ztModelLib.h"
#include "ui/user_interface.h"

namespace cmp {

// What the user sees; part of the plug-in's face and pinned by tests.
inline constexpr const char* EmptyModelText = "The model is empty!  Nothing exported!";
inline constexpr const char* EmptyModelCaption = "Ahem.. hello? :-)";
inline constexpr const char* StreamErrorCaption = "Error exporting VMS file";
inline constexpr const char* StreamNotCreatedText =
    "Could not open export file for some reason, check if it's not being used by another "
    "application!";
inline constexpr const char* TreeErrorCaption = "Error exporting CMP file";
inline constexpr const char* SavedAsStreamText =
    "Could not export to ___temp.vms: that is the name of the exporter's temporary file in "
    "the current folder. Choose another name.";

// The files an export must never write over, as the host names them in the environment
// variable CMPEXPORT_KEEP_FILES: the model file first, then every file its import read
// (an OBJ's .mtl, a glTF's .bin), as a netstring list (core/netstrings.h). Unset, or not a
// whole netstring list, gives none: a host that names no files is not refused, and a
// value the plug-in cannot read is not guessed at.
std::vector<std::string> SourceFilesFromEnvironment();

// The save dialog of an export: title "Export QV CMP", the .cmp and all-files filters,
// default extension "cmp", overwrite prompt, read-only box hidden, folder must exist,
// at most 255 characters.
SaveDialogOptions ExportSaveDialogOptions();

// Runs one export of `model`, talking to the user through `ui`.
//
// Returns -1 for a null model (nothing shown, nothing called); 0 with a warning box for
// a model with no meshes (a negative count included); 0 when the save dialog is
// cancelled; -1 with an error box when the chosen file is "___temp.vms" in the current
// folder or one of `sourceFiles` (the model file first, then those it refers to), however
// it is spelt, before anything is written. Otherwise the meshes are extracted and checked
// against the format's limits (a refusal: error box, -1), the mesh data stream goes to
// "___temp.vms" in the current folder (a failure: error box, -1), and the result dialog
// builds, writes and shows the tree. Once the dialog has closed, a failed read-back or
// write of the tree file is shown in an error box and gives -1; the mesh list is freed,
// then the model destroyed with ztModel_Destroy, then the dialog; a completed export
// returns 0.
//
// The model is destroyed exactly when the result dialog ran, whatever its outcome; on
// every earlier return it stays the caller's. "___temp.vms" never outlives the call; on
// POSIX systems, SIGINT and SIGTERM during it remove it before they end the process.
// May throw std::bad_alloc; the plug-in boundary catches it.
std::int32_t RunExport(ztModel model, UserInterface& ui,
                       const std::vector<std::string>& sourceFiles = {});

}  // namespace cmp
