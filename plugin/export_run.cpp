#include "plugin/plugin.h"

#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/netstrings.h"
#include "core/text.h"
#include "files/files.h"
#include "mesh/mesh.h"
#include "ui/user_interface.h"

namespace cmp {

namespace {

constexpr std::size_t MaxPathLength = 255;

// The save dialog's answer; nothing on a cancel. An interface that hands back more than
// the dialog can hold is treated as the failed dialog it stands for.
std::optional<std::string> AskOutputPath(UserInterface& ui) {
    std::optional<std::string> path = ui.AskSavePath(ExportSaveDialogOptions());
    if (!path || path->empty() || path->size() > MaxPathLength) {
        return std::nullopt;
    }
    return path;
}

// The message for an output path that is one of `sourceFiles`, whose first is the model
// file; nothing when it is none of them. Writing there would replace what the model was
// read from, which no later step could give back.
std::optional<std::string> SourceReplacedBy(const std::string& outputPath,
                                            const std::vector<std::string>& sourceFiles) {
    const std::optional<std::size_t> source = FindSameFile(outputPath, sourceFiles);
    if (!source) {
        return std::nullopt;
    }
    return "Will not export to '" + NameInMessage(outputPath) + "': it is " +
           (*source == 0
                ? std::string("the model file")
                : "'" + NameInMessage(sourceFiles[*source]) + "', which the model refers to") +
           ", and the export would replace the file it is made from.";
}

// A stream file that cannot even be created gets the long-standing message users know,
// with the file's full path and why below it; any later failure (a full disk) says why.
void ReportStreamFailure(const Status& failure, UserInterface& ui) {
    const std::string text =
        failure.code() == ErrorCode::CannotCreate
            ? std::string(StreamNotCreatedText) + "\n" + failure.message()
            : "Could not write the temporary mesh data file: " + failure.message();
    ui.ShowMessage(text, StreamErrorCaption, MessageBoxError);
}

// What went wrong in the dialog's start-up, told once the dialog has closed: a stream
// that did not come back belongs to the stream's caption, anything else to the tree's.
void ReportTreeFailure(const Status& failure, UserInterface& ui) {
    const bool streamFailed =
        failure.code() == ErrorCode::CannotRead || failure.code() == ErrorCode::StreamMismatch;
    ui.ShowMessage(failure.message(), streamFailed ? StreamErrorCaption : TreeErrorCaption,
                   MessageBoxError);
}

}  // namespace

std::vector<std::string> SourceFilesFromEnvironment() {
    const char* value = std::getenv("CMPEXPORT_KEEP_FILES");
    if (value == nullptr) {
        return {};
    }
    return DecodeNetstrings(value).value_or(std::vector<std::string>{});
}

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

std::int32_t RunExport(ztModel model, UserInterface& ui,
                       const std::vector<std::string>& sourceFiles) {
    // 1. Refuse a missing or empty model. A negative count is a host's error; nothing
    //    sensible can be exported from it.
    if (model == nullptr) {
        return -1;
    }
    if (ztModel_GetMeshCount(model) <= 0) {
        ui.ShowMessage(EmptyModelText, EmptyModelCaption, MessageBoxWarning);
        return 0;
    }

    // 2. Ask for the path of the tree file.
    const std::optional<std::string> outputPath = AskOutputPath(ui);
    if (!outputPath) {
        return 0;
    }

    //    A path that is the stream's own file is refused: that file is removed after the
    //    tree file is written, so the model would end up in no file at all.
    if (IsSameFile(*outputPath, TempStreamFileName)) {
        ui.ShowMessage(SavedAsStreamText + std::string("\n") + NameInMessage(FullPath(*outputPath)),
                       TreeErrorCaption, MessageBoxError);
        return -1;
    }
    //    Nor is a file the model was read from, however the dialog came to it: typed,
    //    chosen, or named by the host with the default extension added since.
    if (std::optional<std::string> refusal = SourceReplacedBy(*outputPath, sourceFiles)) {
        ui.ShowMessage(*refusal, TreeErrorCaption, MessageBoxError);
        return -1;
    }

    // 3. Extract the meshes, with their normals. The run owns the list to its end.
    auto meshes = std::make_unique<MeshList>();
    ExtractMeshes(model, *meshes);
    if (meshes->empty()) {
        ui.ShowMessage(EmptyModelText, EmptyModelCaption, MessageBoxWarning);
        return 0;
    }

    // 4. Check them against the format's limits before anything is written.
    if (Status limits = CheckFormatLimits(*meshes); !limits) {
        ui.ShowMessage(limits.message(), StreamErrorCaption, MessageBoxError);
        return -1;
    }

    // 5. Write the mesh data stream to its temporary file, which a stop by SIGINT or
    //    SIGTERM removes from here on.
    const StopSignalGuard stopSignals;
    TemporaryStream stream;
    if (Status written = stream.Write(*meshes); !written) {
        ReportStreamFailure(written, ui);
        return -1;
    }

    // 6. Read the stream back, build the tree and write the tree file, in the start-up
    //    of the result dialog, which then shows the tree until the user closes it.
    std::unique_ptr<NodeTree> tree;
    Status outcome =
        Error{ErrorCode::DialogFailed, "Could not build the model tree: the dialog did not start"};
    auto dialog = std::make_unique<ResultDialog>(ui, [&] {
        outcome = ReadBackBuildAndWriteTreeFile(*meshes, stream, *outputPath, tree);
        return tree.get();
    });
    dialog->DoModal();
    stream.Remove();

    // 7. Report the outcome, then clean up in this order: the meshes, the host's model,
    //    the dialog.
    if (!outcome) {
        ReportTreeFailure(outcome, ui);
    }
    meshes.reset();
    ztModel_Destroy(model);
    dialog.reset();
    return outcome ? 0 : -1;
}

}  // namespace cmp
