// The files cmpinfo writes on request (a picture, a glTF): made whole in memory first,
// then staged beside their destination under a fresh name and renamed over it, as the
// exporter writes its tree files. A failure leaves whatever was at the path as it was.
#pragma once

#include <span>
#include <string>

#include "core/error.h"
#include "core/little_endian.h"
#include "files/files.h"

namespace cmp {

// `bytes` at `path`, or why not, naming what the user gave: a folder of the path that does
// not exist or is no folder (CannotCreate), a read-only file there, or anything else that
// cannot be replaced (CannotReplace); or the staging's error with its message.
Status WriteOutputFile(const std::string& path, const Bytes& bytes);
// The same with the bytes in pieces, written one after another.
Status WriteOutputFile(const std::string& path, std::span<const BytePiece> pieces);

}  // namespace cmp
