#include "plugin/export_run.h"

#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "mesh/export_mesh.h"
#include "mesh/extract.h"
#include "mesh/format_limits.h"
#include "mesh/mesh_data_stream.h"
#include "plugin/module_state.h"
#include "ui/result_dialog.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace cmp {

namespace {

constexpr std::size_t MaxPathLength = 255;

// Removes a file but never a folder: a folder standing at the temporary file's name
// belongs to the user.
void RemoveFile(const char* path) {
#ifdef _WIN32
    _unlink(path);
#else
    unlink(path);
#endif
}

// Writes the mesh data stream to the temporary file; on failure tells the user and
// leaves no file behind. A file that cannot even be created gets the long-standing
// message users know; any later failure (a full disk) says why.
bool WriteTemporaryStream(const MeshList& meshes, UserInterface& ui) {
    if (std::FILE* probe = std::fopen(TempStreamFileName, "wb")) {
        std::fclose(probe);
    } else {
        ui.ShowMessage(StreamNotCreatedText, StreamErrorCaption, MessageBoxError);
        return false;
    }
    Status written = WriteMeshDataStream(meshes, TempStreamFileName);
    if (!written) {
        RemoveFile(TempStreamFileName);
        ui.ShowMessage("Could not write the temporary mesh data file: " + written.message(),
                       StreamErrorCaption, MessageBoxError);
        return false;
    }
    return true;
}

// Tells the user what went wrong in the dialog's start-up; false when something did.
bool ReportDialogOutcome(const ResultDialog& dialog, UserInterface& ui) {
    switch (dialog.Outcome()) {
        case ResultOutcome::Written:
            return true;
        case ResultOutcome::ReadBackFailed:
            ui.ShowMessage("Could not read the mesh data back: " + dialog.FailureReason() +
                               "\nNothing was exported.",
                           StreamErrorCaption, MessageBoxError);
            return false;
        case ResultOutcome::WriteFailed:
            ui.ShowMessage("Could not write " + dialog.OutputPath() + ": " +
                               dialog.FailureReason() +
                               "\nA file that was already there is unchanged.",
                           TreeErrorCaption, MessageBoxError);
            return false;
        case ResultOutcome::NotRun:
        case ResultOutcome::BuildFailed:
            ui.ShowMessage(
                "Could not build the model tree: " + (dialog.FailureReason().empty()
                                                          ? std::string("the dialog did not start")
                                                          : dialog.FailureReason()),
                TreeErrorCaption, MessageBoxError);
            return false;
    }
    return false;
}

}  // namespace

SaveDialogOptions ExportSaveDialogOptions() {
    SaveDialogOptions options;
    options.title = "Export QV CMP";
    options.filters = {{"CMP Files (*.cmp)", "*.cmp"}, {"All Files (*.*)", "*.*"}};
    options.defaultExtension = "cmp";
    options.overwritePrompt = true;
    options.hideReadOnly = true;
    options.pathMustExist = true;
    options.maxPathLength = MaxPathLength;
    return options;
}

std::int32_t RunExport(ztModel model, UserInterface& ui) {
    // Refuse a missing or empty model. A negative count is a host's error; nothing
    // sensible can be exported from it.
    if (model == nullptr) {
        return -1;
    }
    if (ztModel_GetMeshCount(model) <= 0) {
        ui.ShowMessage(EmptyModelText, EmptyModelCaption, MessageBoxWarning);
        return 0;
    }

    // Ask for the output file; an interface that hands back more than the dialog can
    // hold is treated as the failed dialog it stands for.
    std::optional<std::string> path = ui.AskSavePath(ExportSaveDialogOptions());
    if (!path || path->empty() || path->size() > MaxPathLength) {
        return 0;
    }

    // Convert the model. From here on every return frees the list (it is owned here).
    auto meshes = std::make_unique<MeshList>();
    ExtractMeshes(model, *meshes);
    if (meshes->empty()) {
        ui.ShowMessage(EmptyModelText, EmptyModelCaption, MessageBoxWarning);
        return 0;
    }
    if (Status limits = CheckFormatLimits(*meshes); !limits) {
        ui.ShowMessage(limits.message(), StreamErrorCaption, MessageBoxError);
        return -1;
    }
    if (!WriteTemporaryStream(*meshes, ui)) {
        return -1;
    }

    // The dialog builds, writes and shows the tree.
    [[maybe_unused]] ModuleStateScope moduleState;
    auto dialog = std::make_unique<ResultDialog>(ui);
    dialog->SetMeshList(meshes.get());
    dialog->SetOutputPath(path->c_str());
    dialog->DoModal();
    // A failed read-back may leave the stream behind; it must not outlive the run.
    RemoveFile(TempStreamFileName);
    const bool completed = ReportDialogOutcome(*dialog, ui);

    // Clean up in this order: the meshes, then the host's model, then the dialog.
    meshes.reset();
    ztModel_Destroy(model);
    dialog.reset();
    return completed ? 0 : -1;
}

}  // namespace cmp
