// The plug-in: the object a host holds and the export it runs, linked with the core, the
// file layer and the user-interface layer into one library whose only export is
// CreatePlugIn (create_plug_in.cpp).
//
// - CmpExportPlugIn, NewCmpExportPlugIn: the object, whose first word points to the
//   host's four-entry slot table.
// - RunExport: one export, a list of named steps from the empty-model check to the
//   clean-up, with the texts the user sees.
// - TemporaryStream: the mesh data stream's stay on disk between the two stages.
// - ReadBackBuildAndWriteTreeFile: the result dialog's start-up step.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include "core/error.h"
#include "core/little_endian.h"
#include "files/files.h"
#include "host/HostPlugIn.h"
#include "host/ztModelLib.h"
#include "mesh/mesh.h"
#include "tree/tree.h"
#include "ui/user_interface.h"

namespace cmp {

// -- The plug-in object
// The plug-in object a host holds: the host's view of it is a HostPlugIn, whose first
// word points to the four-entry slot table.

inline constexpr const char* PlugInTitle = "Quorvane CMP...";
inline constexpr int PlugInKind = 2;

// Standard layout with the host's view first, so that a HostPlugIn pointer and the
// object's address are one and the same.
struct CmpExportPlugIn {
    HostPlugIn host;
    // The menu title, fixed at construction; QueryTitle hands out its address.
    char title[64];

    CmpExportPlugIn();
};

static_assert(std::is_standard_layout_v<CmpExportPlugIn>);
static_assert(offsetof(CmpExportPlugIn, host) == 0, "hosts read the table from the first word");

// A new object on the heap, or null when memory runs out. Slot 0 with bit 0 set frees it.
HostPlugIn* NewCmpExportPlugIn() noexcept;

// -- The export run
// One export of a host model: the road from the empty-model check to the clean-up.

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

// -- The temporary stream
// The mesh data stream's stay on disk between the two stages of an export.
//
// The run writes the stream to "___temp.vms" in the current folder before the result
// dialog opens, and the dialog's start-up reads it back into the tree. The data takes
// that road, rather than staying in memory, because it is the exporter's established
// behaviour that hosts and users see (the file appears and vanishes in the current
// folder during an export), and because the read-back doubles as a check: the tree
// gets exactly the bytes that reached the disk, and a file that gives back anything
// else fails the export instead of making a file the game cannot read.
//
// This class is the file's one owner: it creates, writes, reads back and removes it.

inline constexpr const char* TempStreamFileName = "___temp.vms";

// How long a run waits for another export in the same folder to finish with the file.
inline constexpr std::chrono::milliseconds StreamWaitForOtherRun{5000};

class TemporaryStream {
  public:
    // Nothing touches the disk until Write. `path` is the file's name; the run uses the
    // fixed name in the current folder, tests may give another. `waitForOtherRun` is how
    // long Write waits while another export holds the file.
    explicit TemporaryStream(std::string path = TempStreamFileName,
                             std::chrono::milliseconds waitForOtherRun = StreamWaitForOtherRun)
        : path_(std::move(path)), waitForOtherRun_(waitForOtherRun) {}
    TemporaryStream(const TemporaryStream&) = delete;
    TemporaryStream& operator=(const TemporaryStream&) = delete;
    // Removes the file when it is still there: it never outlives the run.
    ~TemporaryStream() { Remove(); }

    const std::string& GetPath() const { return path_; }

    // Creates the file (only where nothing stands: no link is followed, no FIFO or
    // device opened, no file of anyone else's touched), locks it against other runs for
    // as long as it lives, and writes BuildMeshDataStream(meshes) to it.
    //
    // What stands at the name: another export's file is waited for (up to
    // `waitForOtherRun`); the leftover of a killed export (a whole mesh data stream that
    // nobody holds) is replaced; anything else is left alone. Never waits longer than
    // that. Fails with CannotCreate when the file cannot be had (a leftover that cannot be
    // removed, too), the message being the file's full path and why; and
    // with CannotWrite, naming the file and the system's reason, when a write fails (a
    // full disk), the partial file then removed.
    [[nodiscard]] Status Write(const MeshList& meshes);

    // Reads the very file Write wrote back, through the descriptor it still holds, and
    // removes it. Fails, naming the file and the reason, with CannotRead when it was
    // never written, its name now names another file or none, or it cannot be sized or
    // read whole or claims more bytes than any mesh data stream can hold (never
    // allocating for such a claim), and with StreamMismatch when it yields another length
    // than `expectedSize`. The file is removed in every case.
    [[nodiscard]] Result<Bytes> ReadBack(std::size_t expectedSize);

    // Removes the file while its name still names it; nothing when it is gone. What
    // stands at the name otherwise (a folder, a file of the user's) is never touched.
    void Remove();

  private:
    std::string path_;
    std::chrono::milliseconds waitForOtherRun_;
    ExclusiveFile file_;
};

// -- The tree file step
// The result dialog's start-up step of an export: the mesh data stream comes back from
// its temporary file, the compound-model tree is built around it and the tree file is
// written. The run hands this step to the dialog and reports its outcome afterwards.

// Reads `stream` back (removing its file), builds the tree of `meshes` (not empty) into
// `tree` and writes it to `outputPath` (any length). `tree` holds the tree to show also
// after a failed write, so that the user sees what could not be saved; it stays empty
// when no tree was built. The error's message is ready for the user: a read-back
// failure keeps its code (CannotRead, StreamMismatch), a failed write its writer's.
// May throw std::bad_alloc, which the plug-in's boundary turns into an error box.
[[nodiscard]] Status ReadBackBuildAndWriteTreeFile(const MeshList& meshes, TemporaryStream& stream,
                                                   const std::string& outputPath,
                                                   std::unique_ptr<NodeTree>& tree);

}  // namespace cmp
