// The request for the common save dialog, built from the run's options. It owns every
// buffer the OPENFILENAMEA points into, so it must stay in place while the dialog runs.
#pragma once

#include <windows.h>
// After windows.h, which it needs.
#include <commdlg.h>

#include <optional>
#include <string>
#include <vector>

#include "ui/user_interface.h"

namespace cmp {

class SaveFileRequest {
  public:
    // Fills the dialog structure the way hosts of this plug-in have always seen it: the
    // Windows 95/NT 4 size (76 bytes, so the dialog shows no places bar), no owner, the
    // filter pairs as one double-NUL-terminated list starting on the first pair, the
    // option flags, and two empty buffers of maxPathLength + 1 bytes for the full path
    // and the file title.
    explicit SaveFileRequest(const SaveDialogOptions& options);
    SaveFileRequest(const SaveFileRequest&) = delete;
    SaveFileRequest& operator=(const SaveFileRequest&) = delete;

    OPENFILENAMEA& GetStructure() { return dialog_; }
    const OPENFILENAMEA& GetStructure() const { return dialog_; }

    // Shows the dialog: the confirmed full path, or nothing on cancel or when the
    // choice does not fit the buffer (the dialog then fails instead of cutting it).
    std::optional<std::string> Show();

  private:
    std::string title_;
    std::string filterList_;
    std::string defaultExtension_;
    std::vector<char> path_;
    std::vector<char> fileTitle_;
    OPENFILENAMEA dialog_;
};

// "CMP Files (*.cmp)\0*.cmp\0All Files (*.*)\0*.*\0\0": description and pattern of each
// filter, each with its NUL, and one more NUL that ends the list.
std::string BuildFilterList(const std::vector<FileFilter>& filters);

}  // namespace cmp
