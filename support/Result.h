// A value or the reason it could not be produced: how library code reports failure.
#pragma once

#include "support/FailureKind.h"

#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace tessaly {

/// Why an operation failed, in words a user can act on (file, message, reason), and of what
/// kind: every error names one, which the report, the index and the exit code go by.
struct Error
{
    Error(std::string text, FailureKind failureKind) : message(std::move(text)), kind(failureKind) {}

    std::string message;
    FailureKind kind;

    /// Returns this error with `context` put in front, e.g. "mailbox 'a.mbox': " + message.
    Error within(const std::string &context) const { return Error{context + message, kind}; }
};

/// Holds either a T or an Error. Check with `ok()` (or the bool conversion) before `value()`.
/// [[nodiscard]]: a failure nobody looked at is a failure lost; discard one only with a comment.
template <typename T> class [[nodiscard]] Result
{
public:
    Result(T value) : m_state(std::move(value)) {}
    Result(Error error) : m_state(std::move(error)) {}

    bool ok() const { return std::holds_alternative<T>(m_state); }
    explicit operator bool() const { return ok(); }

    const T &value() const & { return std::get<T>(m_state); }
    T &value() & { return std::get<T>(m_state); }
    T &&value() && { return std::get<T>(std::move(m_state)); }
    const Error &error() const { return std::get<Error>(m_state); }

private:
    std::variant<T, Error> m_state;
};

/// The result of an operation that produces nothing but may fail.
template <> class [[nodiscard]] Result<void>
{
public:
    Result() = default;
    Result(Error error) : m_error(std::move(error)) {}

    bool ok() const { return !m_error.has_value(); }
    explicit operator bool() const { return ok(); }
    const Error &error() const { return *m_error; }

private:
    std::optional<Error> m_error;
};

} // namespace tessaly
