// modelhost: a host for the exporter plug-in, on Linux and on Windows. It imports a model
// file into the stand-in model library, loads the plug-in as a host would (the library,
// CreatePlugIn, the object's slot table), and runs one export through it.
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/text.h"
#include "files/files.h"
#include "host/HostPlugIn.h"
#include "modelhost/export_plan.h"
#include "modelhost/host_platform.h"
#include "modelhost/options.h"
#include "release/version.h"
#include "standin/ztModelBuilder.h"

namespace cmp {
namespace {

// Why standard output lost what modelhost wrote, the first time it did; empty while all
// arrived. Noted at each flush, since the C library keeps no reason once it has given up
// the bytes.
std::string standardOutputFailure;

// Hands what modelhost wrote to standard output on (std::cout writes through the C
// library's stdout), before the plug-in or a message on standard error follows it.
void FlushStandardOutput() {
    errno = 0;
    if ((std::fflush(stdout) != 0 || std::ferror(stdout) || !std::cout.good()) &&
        standardOutputFailure.empty()) {
        // Some C libraries fail a write without setting errno. The C library's own text:
        // on Windows the file layer's texts are the system's, for its own error codes.
        standardOutputFailure = errno != 0 ? std::strerror(errno) : "the write failed";
    }
}

Result<std::string> DefaultPlugInPath() {
    const std::optional<std::filesystem::path> folder = ProgramFolder();
    if (!folder) {
        return std::string(PlugInFileName());
    }
    return FindDefaultPlugIn(*folder);
}

// The model's counts as the host reports them, then the plan of its export: what the
// plug-in's own rules make of each mesh, and whether it would refuse the model.
void PrintModelSummary(ztModel model, const std::string& path, const ExportPlan& plan) {
    std::cout << "model: " << TerminalText(path) << ", " << ztModel_GetMeshCount(model)
              << " meshes, " << ztModel_GetMaterialCount(model) << " materials\n"
              << PlanText(plan);
}

// `filesRead` as the import named them, made full paths here: the plug-in compares them
// with the path its save dialog returns, whatever the working folder then is.
void SetPlugInEnvironment(const ModelHostOptions& options,
                          const std::vector<std::string>& filesRead) {
    std::vector<std::string> sourceFiles;
    for (const std::string& file : filesRead) {
        sourceFiles.push_back(FullPath(file));
    }
    for (const auto& [name, value] : PlugInEnvironment(options, sourceFiles)) {
        SetEnvironmentValue(name, value);
    }
}

// Read before the plug-in's variables are set, as the user left them.
RunSurroundings SurroundingsOfThisRun() {
    RunSurroundings surroundings;
    surroundings.terminal = StandardStreamsAreTerminals();
    surroundings.display = HasDesktop();
    if (const char* ui = std::getenv("CMPEXPORT_UI"); ui != nullptr && *ui != '\0') {
        surroundings.ui = ui;
    }
    if (const char* saveAs = std::getenv("CMPEXPORT_SAVE_AS")) {
        surroundings.saveAs = saveAs;
    }
    return surroundings;
}

// One line (or several, for a message of several) on standard error, with the prefix.
void Tell(const std::string& message) {
    std::cerr << "modelhost: " << TerminalLines(message) << '\n';
}

// The names of the model's meshes, each once, in the model's order, quoted for a message.
std::string MeshNames(ztModel model) {
    std::vector<std::string> names;
    for (std::int32_t i = 0; i < ztModel_GetMeshCount(model); ++i) {
        std::vector<char> name(4096, '\0');
        ztMesh_GetName(ztModel_GetMeshAt(model, i), name.data(),
                       static_cast<std::int32_t>(name.size() - 1));
        if (std::find(names.begin(), names.end(), name.data()) == names.end()) {
            names.emplace_back(name.data());
        }
    }
    std::string text;
    for (const std::string& name : names) {
        text += (text.empty() ? "'" : ", '") + TerminalText(name) + "'";
    }
    return text.empty() ? "none" : text;
}

// The --list --json document: the run's facts as PrintModelSummary and the lines before it
// tell them, and the warnings told on standard error before an export.
std::string ModelJson(ztModel model, const ModelHostOptions& options, const ImportSummary& imported,
                      const LoadedPlugIn& loaded, const ExportPlan& plan) {
    HostPlugIn* plugIn = loaded.object;
    const char* title = plugIn->slots->queryTitle(plugIn);
    ListedRun run;
    run.version = Version;
    run.plugInFile = loaded.file;
    run.plugInKind = plugIn->slots->queryKind(plugIn);
    if (title != nullptr) {
        run.plugInTitle = title;
    }
    run.modelPath = options.modelPath;
    run.meshCount = ztModel_GetMeshCount(model);
    run.materialCount = ztModel_GetMaterialCount(model);
    run.droppedPoints = imported.droppedPoints;
    run.droppedLines = imported.droppedLines;
    run.droppedNote = DroppedGeometryNote(options.modelPath, imported);
    return ListJson(run, plan);
}

// The model modelhost imports into. The plug-in destroys it at the end of an export that
// got as far as its result dialog and leaves it to the host otherwise, so it is destroyed
// here only while the model library still holds it.
class HostModel {
  public:
    HostModel() : model_(ztBuild_CreateModel()) {}
    ~HostModel() {
        if (!DestroyedByPlugIn()) {
            ztModel_Destroy(model_);
        }
    }
    HostModel(const HostModel&) = delete;
    HostModel& operator=(const HostModel&) = delete;

    ztModel get() const { return model_; }
    bool DestroyedByPlugIn() const { return ztBuild_IsLiveModel(model_) == 0; }

  private:
    ztModel model_;
};

// The loaded plug-in with the object its CreatePlugIn made, which the object's own slot 0
// destroys, freeing its memory, when the run is done with it. The library stays loaded:
// a user-interface toolkit it started cannot be unloaded.
class PlugInObject {
  public:
    // `loaded.object` and its slot table are not null.
    explicit PlugInObject(LoadedPlugIn loaded) : loaded_(std::move(loaded)) {}
    PlugInObject(PlugInObject&& other) noexcept : loaded_(std::exchange(other.loaded_, {})) {}
    PlugInObject& operator=(PlugInObject&&) = delete;
    ~PlugInObject() {
        if (loaded_.object != nullptr) {
            slots().destroy(loaded_.object, 1);
        }
    }

    const LoadedPlugIn& loaded() const { return loaded_; }
    HostPlugIn* object() const { return loaded_.object; }
    // Hosts call only through the table the object's first word points to.
    const HostPlugInSlots& slots() const { return *loaded_.object->slots; }

  private:
    LoadedPlugIn loaded_;
};

// Tells why a step ended the run, and gives the run's exit status.
int Stop(const Status& failure, int status) {
    Tell(failure.message());
    return status;
}

// The mesh the user chose goes first, so the file's nodes are named after it.
Status PutFirstMesh(const ModelHostOptions& options, ztModel model) {
    if (options.first && ztBuild_MoveMeshesFirst(model, options.first->c_str()) == 0) {
        return Error{ErrorCode::BadUsage, "--first: the model has no mesh '" +
                                              TerminalText(*options.first) + "'; its meshes are " +
                                              MeshNames(model)};
    }
    return Status::Ok();
}

// Hands the plug-in its environment and tells what the user should know before the
// export runs; gives the plan of the export.
ExportPlan PrepareExport(const ModelHostOptions& options, ztModel model,
                         const ImportSummary& imported) {
    // The plug-in refuses to write over any file the model was read from, however its
    // save dialog came to the path; it learns them here, with the options' answers.
    SetPlugInEnvironment(options, imported.filesRead);
    // Told up front: a model of nothing else reaches the plug-in empty, and its warning
    // cannot know why.
    if (std::string note = DroppedGeometryNote(options.modelPath, imported); !note.empty()) {
        Tell(note);
    }
    // A script that exports unattended never sees the --list plan: a mesh that will be in
    // neither the geometry nor the hardpoints is told here, before the export runs. The
    // plug-in itself refuses, and says why, as it always has.
    // A model named after a hardpoint mesh is told either way: the name is easily missed.
    ExportPlan plan = PlanExport(model);
    if (std::optional<std::string> warning = NamingWarning(plan)) {
        Tell(*warning);
    }
    if (options.saveAs && !options.list) {
        for (const std::string& warning : LeftOutWarnings(plan)) {
            Tell(warning);
        }
    }
    return plan;
}

// The plug-in of --plugin, or the default one, loaded and its object made.
Result<PlugInObject> LoadPlugInObject(const ModelHostOptions& options) {
    Result<std::string> defaultPath =
        options.pluginPath ? Result<std::string>(std::string()) : DefaultPlugInPath();
    if (!defaultPath) {
        return defaultPath.error();
    }
    const std::string pluginPath = options.pluginPath.value_or(defaultPath.value());
    Result<LoadedPlugIn> loaded =
        LoadPlugIn(pluginPath, options.pluginPath ? PlugInPathToLoad(pluginPath) : pluginPath);
    if (!loaded) {
        return loaded.error();
    }
    loaded.value().object = loaded.value().create();
    if (loaded.value().object == nullptr || loaded.value().object->slots == nullptr) {
        return Error{ErrorCode::PlugInNotLoaded,
                     "the plug-in '" + TerminalText(pluginPath) + "' gave no plug-in object"};
    }
    return PlugInObject(std::move(loaded.value()));
}

void PrintPlugIn(const PlugInObject& plugIn) {
    const char* title = plugIn.slots().queryTitle(plugIn.object());
    std::cout << "plug-in: " << TerminalText(plugIn.loaded().file)
              << "\nkind: " << plugIn.slots().queryKind(plugIn.object())
              << "\ntitle: " << TerminalText(title ? title : "(none)") << '\n';
}

// --plan FILE: the document written whole, never over a file the model was read from.
Status WritePlanFile(const std::string& path, const std::string& document,
                     const ImportSummary& imported) {
    if (const std::optional<std::size_t> source = FindSameFile(path, imported.filesRead)) {
        return Error{ErrorCode::BadUsage, "--plan: will not write the plan to '" +
                                              TerminalText(path) + "': it is '" +
                                              TerminalText(imported.filesRead[*source]) +
                                              "', which the model is read from"};
    }
    const BytePiece bytes(reinterpret_cast<const std::uint8_t*>(document.data()), document.size());
    if (Status written = WriteStagedFile(path, {&bytes, 1}); !written) {
        return Error{written.code(), "--plan: " + written.message()};
    }
    return Status::Ok();
}

// One export through the plug-in's slot, and the exit status its outcome makes.
int Export(const ModelHostOptions& options, const RunSurroundings& surroundings,
           const HostModel& model, const PlugInObject& plugIn) {
    if (Status prepared = PrepareDialogs(plugIn.loaded()); !prepared) {
        return Stop(prepared, ExitNotLoaded);
    }
    FlushStandardOutput();
    const bool hasMeshes = ztModel_GetMeshCount(model.get()) > 0;
    const std::int32_t result = plugIn.slots().runExport(plugIn.object(), model.get());
    const bool reachedResultDialog = model.DestroyedByPlugIn();
    std::cout << "RunExport returned " << result << '\n';
    if (result != 0) {
        return ExitExportFailed;
    }
    // A model with meshes that returns 0 before its result dialog was refused a path by
    // the save dialog: nothing was written. (The empty model, the one other way to that
    // end, stays a warning.)
    if (hasMeshes && !reachedResultDialog && MustWriteAFile(options, surroundings)) {
        FlushStandardOutput();
        Tell(NothingWrittenReason(options, surroundings));
        return ExitNothingWritten;
    }
    return ExitExported;
}

int Run(const ModelHostOptions& options) {
    if (options.list && !options.json) {
        std::cout << "modelhost " << Version << '\n';
    }
    const RunSurroundings surroundings = SurroundingsOfThisRun();
    HostModel model;
    Result<ImportSummary> imported = ImportModelFile(options.modelPath, model.get());
    if (!imported) {
        return Stop(imported.status(), ExitNotLoaded);
    }
    if (Status first = PutFirstMesh(options, model.get()); !first) {
        return Stop(first, ExitUsage);
    }
    const ExportPlan plan = PrepareExport(options, model.get(), imported.value());
    Result<PlugInObject> plugIn = LoadPlugInObject(options);
    if (!plugIn) {
        return Stop(plugIn.status(), ExitNotLoaded);
    }
    if (!options.json) {
        PrintPlugIn(plugIn.value());
    }
    if (options.planFile) {
        const std::string document =
            ModelJson(model.get(), options, imported.value(), plugIn.value().loaded(), plan);
        if (Status written = WritePlanFile(*options.planFile, document, imported.value());
            !written) {
            return Stop(written, ExitUsage);
        }
    }
    if (options.json) {
        std::cout << ModelJson(model.get(), options, imported.value(), plugIn.value().loaded(),
                               plan);
        return ExitExported;
    }
    if (options.list) {
        PrintModelSummary(model.get(), options.modelPath, plan);
        return ExitExported;
    }
    return Export(options, surroundings, model, plugIn.value());
}

int RunProgram(int argc, char** argv) {
    try {
        Result<std::vector<std::string>> arguments = ProgramArguments(argc, argv);
        Result<ModelHostOptions> options =
            arguments ? ParseModelHostOptions(arguments.value()) : arguments.error();
        if (!options) {
            std::cerr << "modelhost: " << TerminalLines(options.message()) << "\n\n"
                      << ModelHostUsage();
            return ExitUsage;
        }
        if (options.value().help) {
            std::cout << ModelHostUsage();
            return ExitExported;
        }
        if (options.value().version) {
            std::cout << "modelhost " << Version << '\n';
            return ExitExported;
        }
        return Run(options.value());
    } catch (const std::exception& failure) {
        Tell(failure.what());
        return ExitHostFailed;
    }
}

}  // namespace

// The program, with its arguments as main received them. What it prints is read by
// scripts and the Blender add-on: a run whose output was lost does not end as a success.
int Main(int argc, char** argv) {
    UseBinaryStandardStreams();
    const int status = RunProgram(argc, argv);
    // The stream stays open: a loaded plug-in or its toolkit may still hold it.
    FlushStandardOutput();
    if (!standardOutputFailure.empty()) {
        Tell("cannot write to standard output: " + standardOutputFailure);
        return status == ExitExported ? ExitOutputLost : status;
    }
    return status;
}

}  // namespace cmp

int main(int argc, char** argv) {
    return cmp::Main(argc, argv);
}
