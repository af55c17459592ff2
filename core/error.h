// The one error type of every layer: a code that programs and tests act on, a message
// a user can act on, and, for errors found while reading a file, the byte offset of the
// field at fault.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace cmp {

enum class ErrorCode {
    // The model cannot be held by the file format: too many vertices, indices or meshes,
    // a triangle naming a vertex its mesh lacks, a coordinate that is not a number.
    ModelRefused,
    // Files on disk.
    NoPath,           // no file name was given
    CannotCreate,     // a file could not be created or opened
    NameTaken,        // something already stands where a file is to be created
    CannotWrite,      // writing, flushing or closing failed (a full disk, say)
    CannotReplace,    // the finished file could not take its destination's place
    CannotRead,       // a file could not be opened, sized or read whole
    StreamMismatch,   // mesh data read back is not the stream the meshes call for
    MalformedStream,  // bytes that are not a sound mesh data stream; the offset says where
    // Trees and tree files.
    EmptyTree,          // a tree without nodes, or an export without meshes
    TreeTooLarge,       // more than the format's 32-bit offsets can address
    MalformedTreeFile,  // bytes that are not a sound tree file; the offset says where
    // The run.
    OutOfMemory,
    DialogFailed,  // the result dialog never ran its start-up, or the start-up failed
    // The host side: command lines, plug-in loading and model import.
    BadUsage,
    PlugInNotLoaded,
    ImportFailed,         // the importer refused the file, with its own reason
    ImporterCrashed,      // ... died by a signal
    ImporterTimedOut,     // ... took longer than its time limit
    ImporterOutOfMemory,  // ... ran out of its memory budget
    MalformedReply,       // the importer's reply is not in the expected wire form
};

struct Error {
    ErrorCode code;
    std::string message;
    std::optional<std::uint64_t> offset = std::nullopt;  // in the file read, where it applies
};

// Outcome of a fallible step without a value.
class [[nodiscard]] Status {
  public:
    Status() = default;
    Status(Error error) : error_(std::move(error)) {}  // NOLINT: implicit on purpose

    static Status Ok() { return {}; }

    bool ok() const { return !error_.has_value(); }
    explicit operator bool() const { return ok(); }
    // Only valid when !ok().
    const Error& error() const { return *error_; }
    ErrorCode code() const { return error_->code; }
    const std::string& message() const { return error_->message; }

  private:
    std::optional<Error> error_;
};

// Outcome of a fallible step that gives a value on success.
template <class T>
class [[nodiscard]] Result {
  public:
    Result(T value) : state_(std::move(value)) {}      // NOLINT: implicit on purpose
    Result(Error error) : state_(std::move(error)) {}  // NOLINT: implicit on purpose

    bool ok() const { return std::holds_alternative<T>(state_); }
    explicit operator bool() const { return ok(); }
    // Only valid when ok().
    T& value() { return std::get<T>(state_); }
    const T& value() const { return std::get<T>(state_); }
    // Only valid when !ok().
    const Error& error() const { return std::get<Error>(state_); }
    ErrorCode code() const { return error().code; }
    const std::string& message() const { return error().message; }
    Status status() const { return ok() ? Status{} : Status{error()}; }

  private:
    std::variant<T, Error> state_;
};

}  // namespace cmp
