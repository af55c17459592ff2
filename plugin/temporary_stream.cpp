#include "plugin/plugin.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <span>
#include <string>
#include <thread>
#include <utility>

#include "core/text.h"
#include "files/files.h"
#include "mesh/mesh.h"

namespace cmp {

namespace {

// Appends `pieces` in order: each piece of 64 KiB or more from where it is, the smaller
// ones between them gathered into writes of about that size. The stream is a few headers
// and then arrays megabytes long, written from the meshes' own arrays: building it whole
// first costs the export about a fifth of its time.
Status AppendGathered(ExclusiveFile& file, std::span<const BytePiece> pieces) {
    constexpr std::size_t gatherSize = 64 * 1024;
    Bytes gathered;
    for (const BytePiece piece : pieces) {
        const bool direct = piece.size() >= gatherSize;
        if (!gathered.empty() && (direct || gathered.size() + piece.size() > gatherSize)) {
            if (Status written = file.Append(gathered); !written) {
                return written;
            }
            gathered.clear();
        }
        if (direct) {
            if (Status written = file.Append(piece); !written) {
                return written;
            }
        } else {
            gathered.insert(gathered.end(), piece.begin(), piece.end());
        }
    }
    return gathered.empty() ? Status::Ok() : file.Append(gathered);
}

using Clock = std::chrono::steady_clock;

// Between two looks at a file another run holds.
constexpr std::chrono::milliseconds PollInterval{25};
// How long an empty file nobody holds may stay so before it counts as the user's: a run
// creates its file and locks it in the next instant.
constexpr std::chrono::milliseconds EmptyFileGrace{500};

Error CannotCreate(const std::string& path, const std::string& why) {
    return Error{ErrorCode::CannotCreate, NameInMessage(FullPath(path)) + ": " + why};
}

// The folder part of a full path.
std::string FolderOf(const std::string& fullPath) {
    const std::size_t slash = fullPath.find_last_of("/\\");
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? fullPath.substr(0, 1) : fullPath.substr(0, slash);
}

// Why a name that stays taken cannot be had, for the user; empty when it is worth
// another try (the thing went, or may be another run's in a moment).
std::string WhyNotFree(const OccupantReport& report, const std::string& path) {
    // What a stopped export left may as well be the user's, so it stays; the user is told
    // how to be rid of it.
    const std::string deleteIfIdle = "If no export is running in the folder " +
                                     NameInMessage(FolderOf(FullPath(path))) +
                                     ", delete the file, then export again";
    switch (report.occupant) {
        case Occupant::Folder:
            return "a folder of that name is in the way (" + std::string(std::strerror(EISDIR)) +
                   "); it is left alone";
        case Occupant::Link:
            return "a link of that name is in the way; it is not followed and is left alone";
        case Occupant::Special:
            return "a FIFO, device or socket of that name is in the way; it is not opened and "
                   "is left alone";
        case Occupant::UsersFile:
            return "a file of that name is already there that this exporter did not make; it is "
                   "left alone (move or rename it, then export again)";
        case Occupant::Empty:
            // Most likely an export killed between making the file and writing to it.
            return "an empty file of that name is there, most likely left by an export that "
                   "was stopped before it wrote anything, and no export holds it; it is left "
                   "alone. " +
                   deleteIfIdle;
        case Occupant::Unfinished:
            return "a mesh data file that an export began and did not finish (it was stopped "
                   "while writing) is there, and no export holds it; it is left alone. " +
                   deleteIfIdle;
        case Occupant::Stuck:
            return "a mesh data file left by an export that was stopped is there, and it cannot "
                   "be removed (" +
                   report.reason +
                   "): it belongs to another user, or the folder does not let you delete it. Have "
                   "its owner delete it, or export with another working folder";
        case Occupant::Unknown:
            return "something of that name is in the way (" + report.reason + ")";
        case Occupant::Busy:
            return "another export is running in this folder; try again once it has finished";
        case Occupant::Gone:
            break;
    }
    return {};
}

Error ReadBackError(ErrorCode code, const std::string& path, const std::string& what) {
    return Error{code,
                 "cannot read the mesh data back from '" + NameInMessage(path) + "': " + what};
}

// What a stopped run leaves at the name: its whole stream goes; one it began and did not
// finish is told apart from a file of the user's.
Leftover JudgeStreamFile(BytePiece head, std::uint64_t length) {
    if (IsWholeMeshDataStream(head, length)) {
        return Leftover::Whole;
    }
    return IsUnfinishedMeshDataStream(head, length) ? Leftover::Unfinished : Leftover::None;
}

}  // namespace

Status TemporaryStream::Write(const MeshList& meshes) {
    Remove();
    const Clock::time_point start = Clock::now();
    const Clock::time_point busyUntil = start + waitForOtherRun_;
    const Clock::time_point emptyUntil = start + std::min(waitForOtherRun_, EmptyFileGrace);
    // Every way round this loop waits or ends by the clock but the first free name: a
    // name that comes free and is taken again each time ends it as well.
    for (int freed = 0;;) {
        const Status created = file_.Create(path_);
        if (created) {
            break;
        }
        if (created.code() != ErrorCode::NameTaken) {
            return CannotCreate(path_, created.message());
        }
        const OccupantReport report = ExamineOccupant(path_, JudgeStreamFile);
        const Clock::time_point now = Clock::now();
        if (report.occupant == Occupant::Gone) {
            if (++freed > 1 && now >= busyUntil) {
                return CannotCreate(path_,
                                    "the name is taken again each time it comes free; "
                                    "try again once the folder is quiet");
            }
            if (freed > 1) {
                std::this_thread::sleep_for(PollInterval);
            }
            continue;
        }
        const bool waiting = (report.occupant == Occupant::Busy && now < busyUntil) ||
                             (report.occupant == Occupant::Empty && now < emptyUntil);
        if (!waiting) {
            return CannotCreate(path_, WhyNotFree(report, path_));
        }
        std::this_thread::sleep_for(PollInterval);
    }

    const MeshDataStreamPieces stream(meshes);
    const Status written = AppendGathered(file_, stream.GetPieces());
    if (!written) {
        Remove();
        return Error{ErrorCode::CannotWrite, "cannot write the mesh data file \"" +
                                                 NameInMessage(path_) + "\": " + written.message()};
    }
    return Status::Ok();
}

Result<Bytes> TemporaryStream::ReadBack(std::size_t expectedSize) {
    if (!file_.IsOpen()) {
        return ReadBackError(ErrorCode::CannotRead, path_, "it was never written");
    }
    Result<Bytes> stream = [&]() -> Result<Bytes> {
        // Someone else's file at the name would give someone else's bytes: another
        // model's, say. Only the file this run wrote will do.
        if (const Status same = file_.CheckStillAt(path_); !same) {
            return ReadBackError(ErrorCode::CannotRead, path_, same.message());
        }
        const Result<std::int64_t> measured = file_.GetLength();
        if (!measured) {
            return ReadBackError(ErrorCode::CannotRead, path_,
                                 "cannot find its length: " + measured.message());
        }
        const std::int64_t length = measured.value();
        if (static_cast<std::uint64_t>(length) > MaxMeshDataStreamSize) {
            return ReadBackError(ErrorCode::CannotRead, path_,
                                 "it claims " + std::to_string(length) +
                                     " bytes, more than any mesh data stream can hold");
        }
        Result<Bytes> read = file_.ReadFromStart(static_cast<std::size_t>(length));
        if (!read) {
            return ReadBackError(ErrorCode::CannotRead, path_, read.message());
        }
        Bytes& bytes = read.value();
        if (bytes.size() != static_cast<std::size_t>(length)) {
            return ReadBackError(ErrorCode::CannotRead, path_,
                                 "it yielded " + std::to_string(bytes.size()) + " of its " +
                                     std::to_string(length) + " bytes");
        }
        return std::move(bytes);
    }();
    Remove();
    // A stream of the wrong length (the file shortened or lengthened behind the run's
    // back) would make a file that the game cannot read.
    if (stream && stream.value().size() != expectedSize) {
        return ReadBackError(ErrorCode::StreamMismatch, path_,
                             "it yielded " + std::to_string(stream.value().size()) +
                                 " bytes where the meshes call for " +
                                 std::to_string(expectedSize));
    }
    return stream;
}

void TemporaryStream::Remove() {
    file_.Remove(path_);
}

}  // namespace cmp
