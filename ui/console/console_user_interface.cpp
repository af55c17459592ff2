#include "ui/user_interface.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <istream>
#include <limits>
#include <ostream>
#include <system_error>

#include "core/text.h"

#ifdef _WIN32
#include <io.h>
#else
#include <termios.h>
#include <unistd.h>
#endif

namespace cmp {

namespace {

bool IsTerminal(int descriptor) {
#ifdef _WIN32
    return _isatty(descriptor) != 0;
#else
    return isatty(descriptor) != 0;
#endif
}

// Switches the terminal on standard input to single key presses without echo while it
// lives, so that Escape alone can close the result dialog.
class SingleKeyMode {
  public:
    SingleKeyMode() {
#ifndef _WIN32
        if (tcgetattr(STDIN_FILENO, &saved_) != 0) {
            return;
        }
        termios keys = saved_;
        keys.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
        keys.c_cc[VMIN] = 1;
        keys.c_cc[VTIME] = 0;
        active_ = tcsetattr(STDIN_FILENO, TCSANOW, &keys) == 0;
#endif
    }
    ~SingleKeyMode() {
#ifndef _WIN32
        if (active_) {
            tcsetattr(STDIN_FILENO, TCSANOW, &saved_);
        }
#endif
    }
    SingleKeyMode(const SingleKeyMode&) = delete;
    SingleKeyMode& operator=(const SingleKeyMode&) = delete;
    bool IsActive() const {
        return active_;
    }

  private:
    bool active_ = false;
#ifndef _WIN32
    termios saved_{};
#endif
};

const char* IconWord(std::uint32_t type) {
    switch (type & 0xF0u) {
        case MessageBoxWarning:
            return "Warning";
        case MessageBoxError:
            return "Error";
        case 0x40u:
            return "Information";
        default:
            return "Message";
    }
}

std::string HexType(std::uint32_t type) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%02X", static_cast<unsigned>(type));
    return text;
}

std::string FilterList(const SaveDialogOptions& options) {
    std::string list;
    for (const FileFilter& filter : options.filters) {
        if (!list.empty()) {
            list += '|';
        }
        list += filter.description + '|' + filter.pattern;
    }
    return list;
}

std::string FlagWords(const SaveDialogOptions& options) {
    std::string words;
    auto add = [&words](bool on, const char* word) {
        if (on) {
            words += words.empty() ? "" : " ";
            words += word;
        }
    };
    add(options.overwritePrompt, "overwrite-prompt");
    add(options.hideReadOnly, "hide-read-only");
    add(options.pathMustExist, "path-must-exist");
    return words;
}

// The full path a save dialog would return; empty when the current folder is gone (where
// FullPath would give the removed folder's former path, which no dialog returns).
std::string AbsolutePathOrEmpty(const std::string& name) {
    std::error_code error;
    std::filesystem::path full = std::filesystem::absolute(name, error);
    return error ? std::string() : full.string();
}

}  // namespace

ConsoleSettings ConsoleSettingsFromEnvironment() {
    ConsoleSettings settings;
    if (const char* saveAs = std::getenv("CMPEXPORT_SAVE_AS")) {
        settings.saveAs = saveAs;
    }
    const char* overwrite = std::getenv("CMPEXPORT_OVERWRITE");
    settings.overwrite = overwrite != nullptr && std::string(overwrite) == "yes";
    if (const char* option = std::getenv("CMPEXPORT_SAVE_AS_OPTION")) {
        settings.saveAsOption = option;
    }
    if (const char* option = std::getenv("CMPEXPORT_OVERWRITE_OPTION")) {
        settings.overwriteOption = option;
    }
    if (const char* transcript = std::getenv("CMPEXPORT_TRANSCRIPT")) {
        settings.transcriptPath = transcript;
    }
    settings.interactive = !settings.saveAs && IsTerminal(0) && IsTerminal(1);
    settings.singleKeys = settings.interactive;
    return settings;
}

ConsoleUserInterface::ConsoleUserInterface(std::istream& in, std::ostream& out, std::ostream& err,
                                           ConsoleSettings settings,
                                           const std::vector<std::string>& notes)
    : in_(in),
      out_(out),
      err_(err),
      settings_(std::move(settings)),
      transcript_(settings_.transcriptPath) {
    for (const std::string& note : notes) {
        err_ << TerminalText(note) << '\n';
    }
}

void ConsoleUserInterface::Record(std::initializer_list<std::string_view> fields) {
    if (Status recorded = transcript_.Record(fields); !recorded && !transcriptFailed_) {
        transcriptFailed_ = true;
        err_ << "the transcript is not written: " << TerminalText(recorded.message()) << '\n';
    }
}

void ConsoleUserInterface::ShowMessage(const std::string& text, const std::string& caption,
                                       std::uint32_t type) {
    Record({"message", HexType(type), caption, text});
    // The texts may name meshes and paths: shown escaped, they cannot command the terminal.
    if (!settings_.interactive) {
        err_ << TerminalText(caption) << ": " << IconWord(type) << ": " << TerminalLines(text)
             << '\n';
        err_.flush();
        return;
    }
    out_ << "\n[" << TerminalText(caption) << "]\n"
         << IconWord(type) << ": " << TerminalLines(text) << "\n[ OK ]  press Enter" << std::flush;
    std::string line;
    std::getline(in_, line);
    out_ << '\n';
}

std::optional<std::string> ConsoleUserInterface::AskSavePath(const SaveDialogOptions& options) {
    if (settings_.interactive) {
        out_ << '\n' << TerminalText(options.title) << '\n';
        if (!options.filters.empty()) {
            out_ << "Save as type: " << TerminalText(options.filters.front().description) << '\n';
        }
    }
    for (;;) {
        std::optional<std::string> answer = NextSaveAnswer(options);
        std::string path;
        Verdict verdict = Verdict::Cancel;
        if (answer && !answer->empty()) {
            verdict = CheckAnswer(options, *answer, path);
        } else if (answer && !settings_.interactive) {
            verdict = Refuse(
                options, (settings_.saveAsOption.empty() ? std::string("CMPEXPORT_SAVE_AS")
                                                         : TerminalText(settings_.saveAsOption)) +
                             " is empty.");
        }
        if (verdict == Verdict::AskAgain) {
            continue;
        }
        bool accepted = verdict == Verdict::Accept;
        Record({"save-dialog", options.title, FilterList(options), options.defaultExtension,
                FlagWords(options), std::to_string(options.maxPathLength),
                accepted ? "ok" : "cancel", accepted ? path : std::string()});
        if (!accepted) {
            return std::nullopt;
        }
        return path;
    }
}

std::optional<std::string> ConsoleUserInterface::NextSaveAnswer(const SaveDialogOptions& options) {
    if (!settings_.interactive) {
        if (!settings_.saveAs) {
            Refuse(options, "There is no terminal to ask on and CMPEXPORT_SAVE_AS is not set.");
        }
        // One answer only: asking again would repeat it forever.
        std::optional<std::string> answer = std::move(settings_.saveAs);
        settings_.saveAs.reset();
        return answer;
    }
    out_ << "File name (empty to cancel): " << std::flush;
    std::string line;
    if (!std::getline(in_, line)) {
        return std::nullopt;
    }
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return line;
}

ConsoleUserInterface::Verdict ConsoleUserInterface::CheckAnswer(const SaveDialogOptions& options,
                                                                const std::string& answer,
                                                                std::string& path) {
    // A name that ends in a separator names a folder, whatever the extension rule would
    // make of it ("sub/" is not the hidden file "sub/.cmp").
    if (answer.back() == '/' || answer.back() == '\\') {
        const std::string folder = AbsolutePathOrEmpty(answer);
        return Refuse(options, TerminalText(folder.empty() ? answer : folder) +
                                   " is a folder; choose a file name.");
    }
    path = AbsolutePathOrEmpty(WithDefaultExtension(answer, options.defaultExtension));
    if (path.empty()) {
        return Refuse(options, "The current folder no longer exists.");
    }
    return CheckSavePath(options, path);
}

ConsoleUserInterface::Verdict ConsoleUserInterface::CheckSavePath(const SaveDialogOptions& options,
                                                                  const std::string& path) {
    namespace fs = std::filesystem;
    // Paths go into the messages escaped: a line break in a name cannot break the line.
    const std::string shownPath = TerminalText(path);
    if (path.size() > options.maxPathLength) {
        // The dialog cannot return such a path at all.
        return Refuse(options, "The path " + shownPath + " is longer than " +
                                   std::to_string(options.maxPathLength) + " characters (it has " +
                                   std::to_string(path.size()) + ").");
    }
    std::error_code error;
    fs::path chosen(path);
    if (fs::is_directory(chosen, error)) {
        return Refuse(options, shownPath + " is a folder; choose a file name.");
    }
    if (options.pathMustExist && !fs::is_directory(chosen.parent_path(), error)) {
        return Refuse(options, "The folder " + TerminalText(chosen.parent_path().string()) +
                                   " does not exist.");
    }
    if (options.overwritePrompt && fs::exists(fs::symlink_status(chosen, error))) {
        if (settings_.interactive) {
            return AskYesNo(shownPath + " already exists. Replace it?") ? Verdict::Accept
                                                                        : Verdict::AskAgain;
        }
        if (!settings_.overwrite) {
            // In the words the user gave the answer in: a host's option, or the variable.
            return Refuse(options,
                          shownPath + " already exists and " +
                              (settings_.overwriteOption.empty()
                                   ? std::string("CMPEXPORT_OVERWRITE is not \"yes\".")
                                   : TerminalText(settings_.overwriteOption) + " was not given."));
        }
    }
    return Verdict::Accept;
}

ConsoleUserInterface::Verdict ConsoleUserInterface::Refuse(const SaveDialogOptions& options,
                                                           const std::string& why) {
    if (settings_.interactive) {
        out_ << TerminalLines(why) << '\n';
        return Verdict::AskAgain;
    }
    // Unattended, one line in one shape, whatever the reason: the dialog's title, why,
    // and that the export ends here.
    err_ << TerminalText(options.title) << ": " << TerminalLines(why) << " Nothing exported.\n";
    err_.flush();
    return Verdict::Cancel;
}

bool ConsoleUserInterface::AskYesNo(const std::string& question) {
    out_ << TerminalLines(question) << " [y/N] " << std::flush;
    std::string line;
    if (!std::getline(in_, line)) {
        return false;
    }
    return !line.empty() && (line[0] == 'y' || line[0] == 'Y');
}

void ConsoleUserInterface::RunResultDialog(const std::string& caption,
                                           const std::function<const NodeTree*()>& initialise) {
    // The whole build and write happen before anything is shown.
    const NodeTree* tree = initialise();
    if (tree == nullptr) {
        return;
    }
    std::string text = DrawTree(*tree);
    Record({"result-dialog", caption, text});
    out_ << '\n' << TerminalText(caption) << '\n' << text;
    if (settings_.interactive) {
        out_ << "[ Continue ]  Enter, Escape or q closes" << std::flush;
        WaitForClose();
        out_ << '\n';
    }
    out_.flush();
}

void ConsoleUserInterface::WaitForClose() {
    std::optional<SingleKeyMode> keys;
    if (settings_.singleKeys) {
        keys.emplace();
    }
    const bool singleKeys = keys && keys->IsActive();
    for (;;) {
        int key = in_.get();
        if (key == std::char_traits<char>::eof() || key == '\n' || key == '\r') {
            return;
        }
        if (key == 27 || key == 'q' || key == 'Q') {
            if (!singleKeys) {
                // Line input: the rest of the line belongs to this answer.
                in_.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
            }
            return;
        }
    }
}

}  // namespace cmp
