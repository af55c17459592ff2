// The modal dialog that shows the compound-model tree of an export until the user
// presses "Continue". What it shows is made in its start-up, by a step the export run
// hands it: users see the tree appear as the file is written, as they always have.
#pragma once

#include <functional>

#include "tree/tree.h"
#include "ui/user_interface.h"

namespace cmp {

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

}  // namespace cmp
