// The decisions that the GTK save dialog takes on the names it is given and returns,
// kept free of GTK so that they can be checked without a display.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace cmp {

// The folder that holds `path`: everything before its last '/', "/" for a file in the
// root, "." for a bare name.
std::string ContainingFolder(std::string_view path);

// Where the save dialog opens when the host named the file beforehand (CMPEXPORT_SAVE_AS).
struct InitialSaveChoice {
    std::string folder;  // the folder shown
    std::string name;    // the name filled in
};

// For the file `given` (relative to `workingFolder` unless absolute): its folder with its
// last component filled in. When that folder does not exist (`isFolder` says), the working
// folder with `given` filled in as it was typed, so that accepting it tells the user the
// folder is missing rather than saving elsewhere. A name that ends in '/' is a folder:
// the dialog opens there with nothing filled in.
InitialSaveChoice InitialSaveChoiceFor(std::string_view given, const std::string& workingFolder,
                                       const std::function<bool(const std::string&)>& isFolder);

// The glob patterns of one filter as the Win32 dialog writes them ("*.cmp;*.cma"), split
// at ';' with blanks trimmed and empty entries dropped. Each pattern matches letters in
// any case ("*.cmp" becomes "*.[cC][mM][pP]"), and "*.*" matches every name, with or
// without a dot, as it does on Windows.
std::vector<std::string> FilterGlobs(std::string_view patterns);

}  // namespace cmp
