// The modal dialog in whose start-up the compound-model tree is built and written, and
// which then shows that tree until the user presses "Continue".
#pragma once

#include <memory>
#include <string>

#include "mesh/export_mesh.h"
#include "tree/node_tree.h"
#include "ui/user_interface.h"

namespace cmp {

enum class ResultOutcome {
    NotRun,          // DoModal has not run the start-up
    Written,         // the tree file is complete at the output path
    ReadBackFailed,  // the mesh data stream could not be read back: no tree, no file
    WriteFailed,     // the tree was built but the file could not be written
    BuildFailed,     // the build itself failed (out of memory): no file
};

class ResultDialog {
  public:
    static constexpr const char* Caption = "Quorvane CMP Exporter";

    // The interface must outlive the dialog.
    explicit ResultDialog(UserInterface& ui) : ui_(ui) {}
    ResultDialog(const ResultDialog&) = delete;
    ResultDialog& operator=(const ResultDialog&) = delete;
    virtual ~ResultDialog() = default;

    // The run's meshes, not empty; read only, never freed here, must outlive DoModal.
    void SetMeshList(const MeshList* meshes) { meshList_ = meshes; }
    // The path of the tree file to write; copied whole, any length.
    void SetOutputPath(const char* path) { outputPath_ = path ? path : ""; }

    // Runs the dialog modally through the interface: OnInitDialog builds and writes the
    // tree before anything is shown; returns when the user has closed the dialog.
    void DoModal();

    // The dialog's start-up: builds the compound layout from the mesh list and the
    // mesh data stream in "___temp.vms" (consuming the file), writes the tree file, and
    // returns the tree to show; null when no tree could be built (the dialog then ends
    // unseen). Records the outcome instead of showing failures, since the run reports
    // them once the dialog has closed. Never throws.
    const NodeTree* OnInitDialog();

    ResultOutcome Outcome() const { return outcome_; }
    // Why the outcome is a failure; empty otherwise.
    const std::string& FailureReason() const { return failureReason_; }
    const std::string& OutputPath() const { return outputPath_; }

  private:
    UserInterface& ui_;
    std::unique_ptr<NodeTree> nodeTree_;  // lives as long as the dialog, which shows it
    const MeshList* meshList_ = nullptr;
    std::string outputPath_;
    ResultOutcome outcome_ = ResultOutcome::NotRun;
    std::string failureReason_;
};

}  // namespace cmp
