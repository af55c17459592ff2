#pragma once

#include "core/error.h"
#include "tree/node_tree.h"

namespace cmp {

// Writes `tree` as a tree file at `path`, all or nothing: the bytes go to a staging file
// in the same folder, which takes the path's place in one rename only when every write,
// the flush to disk and the close succeeded. A failure never leaves a half-written file
// nor changes an existing one, and removes the staging file.
//
// The staging file is named after the output, then a dot, six random letters or digits
// and ".tmp" ("ship.cmp.x7Qk2P.tmp"), so a leftover of a killed run is recognised and
// never reused. It is created only where nothing stood, never through a link, under
// another random name when one is taken: nothing beside the output is opened. While it
// exists it is in the process's list of staged files (files/staged_files.h), which a
// handler of SIGINT or SIGTERM removes.
//
// What is replaced stays what it was as far as a new file can: it keeps its permissions
// (and its owner and group as far as the user may give them). When the path is a link,
// the regular file at the link's end is replaced the same way, staged in that file's
// folder, and the link stays. Refused, with a message naming the path and nothing opened:
// a path that is not a regular file (a folder, a named pipe, a device, a socket) or a
// link to one, or to nothing; and a file with other names (hard links), since a rename
// gives the path a new file while the other names would keep the old content without
// the user knowing, and writing into the old file instead would give up the
// all-or-nothing replacement. On Windows only a folder is refused; links, permissions and
// other names are left to the system there.
//
// An empty tree, or one too large for the format's 32-bit offsets, writes nothing. A
// failure's message names the file and the system's reason: "cannot create '<staging
// file>': ...", "cannot write '<staging file>': ...", "cannot replace '<path>': ...".
[[nodiscard]] Status WriteUtfFile(const NodeTree& tree, const char* path);

}  // namespace cmp
