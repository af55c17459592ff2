#include "ui/gtk/gtk_dialogs.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "core/text.h"
#include "ui/gtk/gtk_user_interface.h"
#include "ui/user_interface.h"

namespace cmp {

namespace {

enum class Verdict { Accept, ChooseAgain, Fail };

std::string WorkingFolder() {
    gchar* folder = g_get_current_dir();
    std::string path(folder);
    g_free(folder);
    return path;
}

bool IsFolder(const std::string& path) {
    std::error_code error;
    return std::filesystem::is_directory(path, error);
}

// The file the host named, which its --overwrite lets the dialog replace unasked.
class PresetFile {
  public:
    PresetFile(const SavePreset& preset, const SaveDialogOptions& options) {
        if (preset.overwrite && preset.path && !preset.path->empty()) {
            std::error_code error;
            path_ = std::filesystem::absolute(
                        WithDefaultExtension(*preset.path, options.defaultExtension), error)
                        .string();
            if (error) {
                path_.clear();
            }
        }
    }

    // Whether `path` is that file; both must exist, which is when the question arises.
    bool IsReplacedUnasked(const std::string& path) const {
        std::error_code error;
        return !path_.empty() && std::filesystem::equivalent(path, path_, error) && !error;
    }

  private:
    std::string path_;
};

struct ChooserContext {
    const SaveDialogOptions* options;
    const PresetFile* preset;
};

// GTK's own question before replacing the name as typed, skipped for the preset file.
GtkFileChooserConfirmation ConfirmOverwrite(GtkFileChooser* chooser, gpointer data) {
    const auto* context = static_cast<const ChooserContext*>(data);
    gchar* chosen = gtk_file_chooser_get_filename(chooser);
    const bool unasked =
        chosen != nullptr && context->preset->IsReplacedUnasked(
                                 WithDefaultExtension(chosen, context->options->defaultExtension));
    g_free(chosen);
    return unasked ? GTK_FILE_CHOOSER_CONFIRMATION_ACCEPT_FILENAME
                   : GTK_FILE_CHOOSER_CONFIRMATION_CONFIRM;
}

void AddFilters(GtkFileChooser* chooser, const std::vector<FileFilter>& filters) {
    bool first = true;
    for (const FileFilter& filter : filters) {
        GtkFileFilter* gtkFilter = gtk_file_filter_new();
        gtk_file_filter_set_name(gtkFilter, DisplayText(filter.description).c_str());
        for (const std::string& glob : FilterGlobs(filter.pattern)) {
            gtk_file_filter_add_pattern(gtkFilter, glob.c_str());
        }
        gtk_file_chooser_add_filter(chooser, gtkFilter);  // takes the floating reference
        if (first) {
            gtk_file_chooser_set_filter(chooser, gtkFilter);
            first = false;
        }
    }
}

GtkWidget* NewChooser(const SaveDialogOptions& options, const SavePreset& preset,
                      ChooserContext& context) {
    GtkWidget* dialog = gtk_file_chooser_dialog_new(
        DisplayText(options.title).c_str(), nullptr, GTK_FILE_CHOOSER_ACTION_SAVE, "_Cancel",
        GTK_RESPONSE_CANCEL, "_Save", GTK_RESPONSE_ACCEPT, nullptr);
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_ACCEPT);
    gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_CENTER);

    GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
    gtk_file_chooser_set_local_only(chooser, TRUE);
    gtk_file_chooser_set_do_overwrite_confirmation(chooser, options.overwritePrompt);
    g_signal_connect(chooser, "confirm-overwrite", G_CALLBACK(ConfirmOverwrite), &context);
    // Start in the current directory, where a dialog without an initial folder starts
    // on Windows, rather than wherever GTK's history points; or on the file the host
    // named.
    const std::string workingFolder = WorkingFolder();
    if (preset.path && !preset.path->empty()) {
        const InitialSaveChoice choice =
            InitialSaveChoiceFor(*preset.path, workingFolder, IsFolder);
        gtk_file_chooser_set_current_folder(chooser, choice.folder.c_str());
        if (!choice.name.empty()) {
            gtk_file_chooser_set_current_name(chooser, DisplayText(choice.name).c_str());
        }
    } else {
        gtk_file_chooser_set_current_folder(chooser, workingFolder.c_str());
    }
    AddFilters(chooser, options.filters);
    // hideReadOnly needs nothing: the GTK chooser has no read-only box to hide.
    return dialog;
}

bool Exists(const std::string& path) {
    std::error_code error;
    return std::filesystem::exists(path, error);
}

// The same question GTK asks for the name as typed, for the name with the extension.
bool ConfirmReplace(GtkWindow* chooser, const std::string& path, const std::string& title) {
    gchar* displayPath = g_filename_display_name(path.c_str());
    gchar* fileName = g_path_get_basename(displayPath);
    gchar* folderPath = g_path_get_dirname(displayPath);
    gchar* folderName = g_path_get_basename(folderPath);
    g_free(folderPath);
    ToplevelGuard dialog(gtk_message_dialog_new(
        chooser, GTK_DIALOG_MODAL, GTK_MESSAGE_QUESTION, GTK_BUTTONS_NONE,
        "A file named \xE2\x80\x9C%s\xE2\x80\x9D already exists.  Do you want to replace it?",
        fileName));
    gtk_message_dialog_format_secondary_text(
        GTK_MESSAGE_DIALOG(dialog.widget()),
        "The file already exists in \xE2\x80\x9C%s\xE2\x80\x9D.  Replacing it will overwrite "
        "its contents.",
        folderName);
    g_free(folderName);
    g_free(fileName);
    g_free(displayPath);

    GtkDialog* question = GTK_DIALOG(dialog.widget());
    gtk_window_set_title(GTK_WINDOW(question), DisplayText(title).c_str());
    gtk_dialog_add_button(question, "_Cancel", GTK_RESPONSE_CANCEL);
    gtk_dialog_add_button(question, "_Replace", GTK_RESPONSE_ACCEPT);
    gtk_dialog_set_default_response(question, GTK_RESPONSE_ACCEPT);
    gtk_window_present(GTK_WINDOW(question));
    return gtk_dialog_run(question) == GTK_RESPONSE_ACCEPT;
}

Verdict Review(GtkWindow* chooser, const std::string& path, bool extensionAppended,
               const SaveDialogOptions& options, const PresetFile& preset) {
    if (path.size() > options.maxPathLength) {
        ShowGtkMessageBox(chooser,
                          "The path is " + std::to_string(path.size()) +
                              " characters long, and a path may have at most " +
                              std::to_string(options.maxPathLength) + ". The file was not saved.",
                          options.title, MessageBoxError);
        return Verdict::Fail;
    }
    if (options.pathMustExist && !IsFolder(ContainingFolder(path))) {
        ShowGtkMessageBox(chooser,
                          "The folder \"" + TerminalText(ContainingFolder(path)) +
                              "\" does not exist. Choose an existing folder.",
                          options.title, MessageBoxWarning);
        return Verdict::ChooseAgain;
    }
    if (extensionAppended && options.overwritePrompt && Exists(path) &&
        !preset.IsReplacedUnasked(path) && !ConfirmReplace(chooser, path, options.title)) {
        return Verdict::ChooseAgain;
    }
    return Verdict::Accept;
}

}  // namespace

std::optional<std::string> RunGtkSaveDialog(const SaveDialogOptions& options,
                                            const SavePreset& preset) {
    const PresetFile presetFile(preset, options);
    ChooserContext context{&options, &presetFile};
    ToplevelGuard dialog(NewChooser(options, preset, context));
    GtkWindow* chooser = GTK_WINDOW(dialog.widget());
    gtk_window_present(chooser);
    while (gtk_dialog_run(GTK_DIALOG(chooser)) == GTK_RESPONSE_ACCEPT) {
        gchar* chosen = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(chooser));
        if (chosen == nullptr) {
            return std::nullopt;  // not a local file; local-only mode should prevent it
        }
        const std::string typed(chosen);
        g_free(chosen);
        const std::string path = WithDefaultExtension(typed, options.defaultExtension);
        switch (Review(chooser, path, path != typed, options, presetFile)) {
            case Verdict::Accept:
                return path;
            case Verdict::Fail:
                return std::nullopt;
            case Verdict::ChooseAgain:
                break;
        }
    }
    return std::nullopt;
}

SavePreset SavePresetFromEnvironment() {
    SavePreset preset;
    if (const char* saveAs = std::getenv("CMPEXPORT_SAVE_AS")) {
        preset.path = saveAs;
    }
    const char* overwrite = std::getenv("CMPEXPORT_OVERWRITE");
    preset.overwrite = overwrite != nullptr && std::string(overwrite) == "yes";
    return preset;
}

}  // namespace cmp
