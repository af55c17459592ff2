// Small error type shared by the core: a message a user can act on, and an
// optional byte offset for errors found while reading files.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace cmp {

struct Error {
    std::string message;
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
    const std::string& message() const { return std::get<Error>(state_).message; }
    Status status() const { return ok() ? Status{} : Status{std::get<Error>(state_)}; }

  private:
    std::variant<T, Error> state_;
};

}  // namespace cmp
