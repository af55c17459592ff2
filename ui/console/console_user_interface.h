// The user interface on a terminal, and unattended without one.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "ui/console/transcript.h"
#include "ui/user_interface.h"

namespace cmp {

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
