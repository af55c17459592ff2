// What a path to be written names, found before anything is written: the regular file
// that a finished tree file will replace (for a link, the file it leads to) or the place
// where a new one will appear, and what of the old file the new one must keep.
#pragma once

#include <string>

#include "core/error.h"

namespace cmp {

struct WriteDestination {
    // The path the finished file is renamed to: the path given, or for a link the
    // absolute path of the regular file at its end (the link itself stays as it is).
    std::string path;
    // Whether a regular file stands there now, to be replaced.
    bool replaces = false;
    // That file's permission bits, owner and group (POSIX only; zero elsewhere).
    unsigned permissions = 0;
    unsigned owner = 0;
    unsigned group = 0;
    // Whether that file is read-only: marked so (no write permission for anyone; on
    // Windows the read-only attribute), or not writable by this user. The rename takes
    // only the folder's permission, so it would go behind the mark: WriteStagedFile
    // refuses such a file.
    bool readOnly = false;
};

// Looks at what `path` names without opening it. Refused, as CannotReplace with a message
// naming the path: anything that is not a regular file (a folder, a named pipe, a device,
// a socket), a link to such a thing or to nothing, and a file with more than one name
// (hard links), whose other names a replacement would leave holding the old content.
// Nothing there at all is fine: the file will be new.
Result<WriteDestination> FindWriteDestination(const std::string& path);

}  // namespace cmp
