// The plan of an export as `modelhost --list --json` prints it: one JSON document for
// programs (the Blender add-on among them), carrying what the --list text tells people.
// Its fields are an interface: README.md, section modelhost, lists them, and a change
// that renames or removes one, or changes what it means, raises ListJsonFormat.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "modelhost/export_plan.h"

namespace cmp {

// The document's "format". Fields may be added without raising it.
inline constexpr int ListJsonFormat = 1;

// What the run knows besides the plan: the plug-in it loaded and the model as imported.
struct ListedRun {
    std::string version;  // modelhost's
    std::string plugInFile;
    std::int32_t plugInKind = 0;
    std::optional<std::string> plugInTitle;  // none when the plug-in gives a null title
    std::string modelPath;                   // as the user gave it
    std::int32_t meshCount = 0;              // as the host reports them
    std::int32_t materialCount = 0;
    std::uint32_t droppedPoints = 0;
    std::uint32_t droppedLines = 0;
    std::string droppedNote;  // the import's warning about them (DroppedGeometryNote); may be empty
};

// The whole document, compact, and a newline. Names and paths are the model's and the
// system's bytes as they are: all of the text is ASCII (other characters as \u escapes),
// and a byte that is not part of valid UTF-8 becomes U+FFFD, so that the document stays
// valid JSON whatever the model file held. A size that is not a number is null.
std::string ListJson(const ListedRun& run, const ExportPlan& plan);

}  // namespace cmp
