#pragma once

#include <functional>
#include <string>

#include "tree/tree.h"

namespace cmp {

// Runs the modal result dialog: window title `caption`, about 330 x 266 pixels, centred,
// no owner window; a tree view of the node tree (names only, tree lines, all rows
// collapsed) and one "Continue" button, which has the focus.
//
// `initialise` runs once, after the dialog has been built and before it is shown; the
// tree it returns (null: none) is copied into the view at once and not read afterwards.
// Returns when the user has ended the dialog by "Continue", Escape, Enter or a close
// request; all four end it alike. GTK must be running.
void RunGtkResultDialog(const std::string& caption,
                        const std::function<const NodeTree*()>& initialise);

}  // namespace cmp
