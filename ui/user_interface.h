// The user-interface layer: the narrow interface through which the plug-in talks to the
// user, and what this library builds on it.
//
// - UserInterface: a message box, a save dialog and the modal result dialog. Three
//   implementations: the console one declared here (ui/console), the GTK 3 one in its
//   own loadable library (ui/gtk, reached through the module entry below) and the Win32
//   one (ui/win32); CreateUserInterface picks one for the process.
// - ResultDialog: the result dialog as the export run holds it, with its start-up step.
// - WithDefaultExtension: the one rule by which every save dialog adds the extension.
// - ConsoleUserInterface with its settings, the Transcript of its exchanges and DrawTree,
//   the tree as the console shows it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/error.h"
#include "tree/tree.h"

namespace cmp {

// -- The interface

// Message box types, as the Win32 message box takes them: one OK button and an icon.
inline constexpr std::uint32_t MessageBoxWarning = 0x30;
inline constexpr std::uint32_t MessageBoxError = 0x10;

struct FileFilter {
    std::string description;  // "CMP Files (*.cmp)"
    std::string pattern;      // "*.cmp"
};

struct SaveDialogOptions {
    std::string title;
    std::vector<FileFilter> filters;  // the first one is active at first
    std::string defaultExtension;     // appended (with a dot) when a name has none
    bool overwritePrompt = false;     // ask before replacing an existing file
    bool hideReadOnly = false;
    bool pathMustExist = false;       // the folder must exist
    std::size_t maxPathLength = 255;  // a longer choice fails like a cancel
};

class UserInterface {
  public:
    virtual ~UserInterface() = default;

    // Shows `text` with `caption` and the icon of `type` until the user dismisses it.
    // Never called while the result dialog runs.
    virtual void ShowMessage(const std::string& text, const std::string& caption,
                             std::uint32_t type) = 0;

    // The full path the user confirmed, or nothing on cancel or failure. A path longer
    // than options.maxPathLength is a failure.
    virtual std::optional<std::string> AskSavePath(const SaveDialogOptions& options) = 0;

    // Runs the modal result dialog titled `caption`. `initialise` runs in the dialog's
    // start-up, before anything is shown; it builds and writes the tree and returns the
    // tree to show. Null means the start-up built nothing: the dialog then ends at once,
    // never shown (an empty tree would only puzzle the user before the run's error box).
    // The tree stays valid until this returns. `initialise` neither throws nor calls back
    // into this interface. Returns when the user has closed the dialog ("Continue",
    // Escape, Enter or the close box alike), or at once after a null start-up.
    virtual void RunResultDialog(const std::string& caption,
                                 const std::function<const NodeTree*()>& initialise) = 0;
};

// The interface for this process: on Windows the Win32 one. Elsewhere the environment
// variable CMPEXPORT_UI chooses: "console", "gtk", or "auto" (the default: GTK when
// DISPLAY or WAYLAND_DISPLAY is set and GTK starts, else the console). A GTK that
// cannot start falls back to the console with a note on stderr. Never null.
std::unique_ptr<UserInterface> CreateUserInterface();

// -- The default extension
// The one rule by which every save dialog of the plug-in adds the default extension,
// the rule of the Windows save dialog: a name whose last component holds a dot anywhere
// keeps what the user typed ("ship.v2", "model.", ".hidden"); any other name gets "."
// and the extension ("ship" becomes "ship.cmp", "my.folder/ship" "my.folder/ship.cmp").
// Both '/' and '\' end a folder name.

inline bool HasExtension(std::string_view path) {
    const std::size_t folderEnd = path.find_last_of("/\\");
    const std::string_view name =
        folderEnd == std::string_view::npos ? path : path.substr(folderEnd + 1);
    return name.find('.') != std::string_view::npos;
}

// `path` with "." and `extension` appended when it has no extension and `extension` is
// not empty; otherwise `path` unchanged.
inline std::string WithDefaultExtension(std::string path, std::string_view extension) {
    if (!extension.empty() && !HasExtension(path)) {
        path += '.';
        path += extension;
    }
    return path;
}

// -- The result dialog
// The modal dialog that shows the compound-model tree of an export until the user
// presses "Continue". What it shows is made in its start-up, by a step the export run
// hands it: users see the tree appear as the file is written, as they always have.

class ResultDialog {
  public:
    static constexpr const char* Caption = "Quorvane CMP Exporter";

    // The start-up step: does its work and returns the tree to show, which must stay
    // valid until DoModal returns; null when it made none (the dialog then ends unseen).
    // It keeps its own outcome; the dialog only shows.
    using StartUpStep = std::function<const NodeTree*()>;

    // The interface must outlive the dialog.
    ResultDialog(UserInterface& ui, StartUpStep startUp) : ui_(ui), startUp_(std::move(startUp)) {}
    ResultDialog(const ResultDialog&) = delete;
    ResultDialog& operator=(const ResultDialog&) = delete;

    // Runs the dialog modally through the interface, the step in its start-up; returns
    // when the user has closed it, or at once when the start-up gave no tree. A step that
    // throws ends the dialog unseen, and the exception comes out of DoModal.
    void DoModal();

  private:
    UserInterface& ui_;
    StartUpStep startUp_;
};

// -- The console
// The tree as text, one node per line in tree order: top-level nodes at the margin,
// their descendants drawn with "├── ", "└── " and "│   " connectors. Every line ends
// with '\n'; an empty tree gives "(empty)\n". Names are shown as TerminalText shows them,
// so that a name can neither command the terminal nor break a line. Walks with an explicit stack,
// so depth is no risk.
std::string DrawTree(const NodeTree& tree);

// An append-only record of what the console showed the user and what it answered, for
// tests and unattended runs that want to check it afterwards. One line per exchange:
// fields separated by tabs, with backslash, tab and newline inside a field escaped as
// "\\", "\t" and "\n". The file is opened and closed for every line, so several runs
// and processes can share it. Only a regular file is ever written: a link, FIFO or
// device at the path records nothing.
class Transcript {
  public:
    // An empty path records nothing.
    explicit Transcript(std::string path) : path_(std::move(path)) {}

    bool IsEnabled() const { return !path_.empty(); }
    // CannotWrite, saying why, when the line could not be added.
    [[nodiscard]] Status Record(std::initializer_list<std::string_view> fields) const;

  private:
    std::string path_;
};

// One field as Record writes it.
std::string EscapeTranscriptField(std::string_view field);

// The user interface on a terminal, and unattended without one.

struct ConsoleSettings {
    // A person answers at a terminal: dialogs prompt and wait. Otherwise nothing ever
    // blocks: the save dialog takes `saveAs`, boxes go to the error stream, the result
    // dialog prints the tree and goes on.
    bool interactive = false;
    // The input is the process's terminal, which can deliver single key presses, so
    // Escape closes the result dialog without Enter.
    bool singleKeys = false;
    // Unattended answer to the save dialog; nothing or an empty text cancels.
    std::optional<std::string> saveAs;
    // Unattended answer to "replace the existing file?".
    bool overwrite = false;
    // How the user gave `saveAs` and `overwrite`, for the messages that concern them: the
    // host's option ("--save-as", "--overwrite"), or empty for the variables themselves.
    std::string saveAsOption;
    std::string overwriteOption;
    // When not empty, every exchange is appended to this file (see Transcript).
    std::string transcriptPath;
};

// The environment variables that unattended runs (and modelhost) set:
//   CMPEXPORT_SAVE_AS    the save dialog's answer; when set, nothing prompts or waits
//   CMPEXPORT_OVERWRITE  "yes" replaces an existing file; anything else declines
//   CMPEXPORT_TRANSCRIPT a file to which every exchange is appended
//   CMPEXPORT_SAVE_AS_OPTION, CMPEXPORT_OVERWRITE_OPTION  the host's option that set the
//                        answer above, when one did (modelhost: --save-as, --overwrite)
// Interactive when standard input and output are terminals and CMPEXPORT_SAVE_AS is not
// set.
ConsoleSettings ConsoleSettingsFromEnvironment();

class ConsoleUserInterface : public UserInterface {
  public:
    // The streams must outlive the object. Each of `notes` (what the choice of this
    // interface had to say, such as why another could not start) goes to the error
    // stream at once, a line each.
    ConsoleUserInterface(std::istream& in, std::ostream& out, std::ostream& err,
                         ConsoleSettings settings, const std::vector<std::string>& notes = {});

    void ShowMessage(const std::string& text, const std::string& caption,
                     std::uint32_t type) override;
    std::optional<std::string> AskSavePath(const SaveDialogOptions& options) override;
    void RunResultDialog(const std::string& caption,
                         const std::function<const NodeTree*()>& initialise) override;

  private:
    enum class Verdict { Accept, AskAgain, Cancel };

    std::optional<std::string> NextSaveAnswer(const SaveDialogOptions& options);
    // The answer as typed; `path` receives the full path it names.
    Verdict CheckAnswer(const SaveDialogOptions& options, const std::string& answer,
                        std::string& path);
    Verdict CheckSavePath(const SaveDialogOptions& options, const std::string& path);
    // Interactive: says why on the terminal and asks again. Unattended: says why on the
    // error stream, "<title>: <why> Nothing exported.", and cancels.
    Verdict Refuse(const SaveDialogOptions& options, const std::string& why);
    bool AskYesNo(const std::string& question);
    void WaitForClose();
    // Adds an exchange to the transcript. One that cannot be written is said once on the
    // error stream; the run goes on as it would without a transcript, which only
    // witnesses it.
    void Record(std::initializer_list<std::string_view> fields);

    std::istream& in_;
    std::ostream& out_;
    std::ostream& err_;
    ConsoleSettings settings_;
    Transcript transcript_;
    bool transcriptFailed_ = false;
};

}  // namespace cmp

// -- The GTK module
// The one entry of the GTK library (libcmpexport_gtk.so), which the plug-in finds beside
// itself and loads with dlopen when it is to show desktop dialogs
// (ui/create_user_interface.cpp).

// The library's file name, and the name of its entry.
#define CMPEXPORT_GTK_MODULE_FILE "libcmpexport_gtk.so"
#define CMPEXPORT_GTK_MODULE_ENTRY "cmpexport_gtk_create_user_interface"

// A new GTK interface, owned by the caller (who deletes it through UserInterface); null
// when GTK cannot start (no display, say). The library is never unloaded: GTK cannot be.
extern "C" cmp::UserInterface* cmpexport_gtk_create_user_interface();
