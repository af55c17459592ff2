// What the GTK dialogs of this folder share: process-wide start-up and main-loop care,
// and each dialog as gtk_user_interface.cpp calls it. All of it runs on the thread that
// drives the export.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include <gtk/gtk.h>

#include "tree/tree.h"
#include "ui/user_interface.h"

namespace cmp {

// -- GTK start-up and events

// Starts GTK once per process and answers whether it runs: false when no display can be
// opened. A host that has started GTK itself is used as it is. GTK is told to leave the
// process locale alone, which belongs to the host.
bool StartGtk();

// Handles every event that is pending, then waits for the display server to process
// what was sent and handles what that brought. A dialog destroyed before this call is
// gone from the screen after it.
void SettlePendingEvents();

// `text` as GTK may show it: valid UTF-8 unchanged, other bytes (names from a host in
// another encoding) replaced by U+FFFD.
std::string DisplayText(const std::string& text);

// Owns one toplevel widget: destroys it and settles the events on every way out of a
// scope, so that no dialog stays on screen or half-destroyed.
class ToplevelGuard {
  public:
    explicit ToplevelGuard(GtkWidget* widget) : widget_(widget) {}
    ToplevelGuard(const ToplevelGuard&) = delete;
    ToplevelGuard& operator=(const ToplevelGuard&) = delete;
    ~ToplevelGuard();

    GtkWidget* widget() const { return widget_; }

  private:
    GtkWidget* widget_;
};

// -- The message box
// Shows a modal message dialog with `text`, the window title `caption`, one OK button
// and the icon that the Win32 message box `type` names (0x10 error, 0x20 question,
// 0x30 warning, 0x40 information; other values: no icon), until the user dismisses it.
// `parent` may be null (no owner window). GTK must be running.
void ShowGtkMessageBox(GtkWindow* parent, const std::string& text, const std::string& caption,
                       std::uint32_t type);

// -- The result dialog
// Runs the modal result dialog: window title `caption`, about 330 x 266 pixels, centred,
// no owner window; a tree view of the node tree (names only, tree lines, all rows
// collapsed) and one "Continue" button, which has the focus.
//
// `initialise` runs once, after the dialog has been built and before it is shown; the
// tree it returns (null: none) is copied into the view at once and not read afterwards.
// Returns when the user has ended the dialog by "Continue", Escape, Enter or a close
// request; all four end it alike. GTK must be running.
void RunGtkResultDialog(const std::string& caption,
                        const std::function<const NodeTree*()>& initialise);

// -- The save dialog
// Runs a GTK file chooser in save mode, without an owner window, as `options` asks:
// title, filters (the first active; patterns match letters in any case), default
// extension, overwrite prompt, folder that must exist, path length limit.
//
// After the user confirms a name, the default extension is appended when the name has
// none; if the file so named exists and `options.overwritePrompt` is set, the user is
// asked again, since GTK checked the name without the extension. A missing folder is
// reported and the chooser stays open. A path longer than `options.maxPathLength` bytes
// is reported and ends the dialog as a cancel does.
//
// `preset` is the file the host named beforehand: the dialog opens on it (see
// InitialSaveChoiceFor), and with `preset.overwrite` replacing that very file needs no
// question; any other file chosen is asked about as usual.
//
// Returns the full path, or nothing on cancel or failure. GTK must be running.
struct SavePreset {
    std::optional<std::string> path;  // CMPEXPORT_SAVE_AS; empty counts as none
    bool overwrite = false;           // CMPEXPORT_OVERWRITE is "yes"
};
std::optional<std::string> RunGtkSaveDialog(const SaveDialogOptions& options,
                                            const SavePreset& preset = {});

// The preset as modelhost hands it over, in the console's variables.
SavePreset SavePresetFromEnvironment();

}  // namespace cmp
