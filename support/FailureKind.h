// What kind of failure ended a message or a run, so that reports and the index can group them.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tessaly {

/// The kinds of failure a run tells apart, each by what the user must do about it. The order
/// is the order reports list them in.
enum class FailureKind
{
    NotAMailbox,
    Unreadable,
    MalformedMessage,
    /// What this system cannot do (open files passed between processes, namespaces).
    Unsupported,
    OverTimeLimit,
    OverMemoryLimit,
    WorkerCrashed,
    WorkerOutOfBounds,
    RenderFailed,
    /// A fault of the program itself, not of the mail or the system: worth a bug report.
    InternalError,
    /// Writing failed for a reason other than a full disk or a refused permission.
    Unwritable,
    DiskFull,
    NotPermitted,
    NameConflict,
    /// The command line asked for something that does not exist.
    UsageError,
    StoppedByUser,
};

/// Every kind, in report order.
inline constexpr FailureKind kAllFailureKinds[] = {
    FailureKind::NotAMailbox,   FailureKind::Unreadable,        FailureKind::MalformedMessage,
    FailureKind::Unsupported,   FailureKind::OverTimeLimit,     FailureKind::OverMemoryLimit,
    FailureKind::WorkerCrashed, FailureKind::WorkerOutOfBounds, FailureKind::RenderFailed,
    FailureKind::InternalError, FailureKind::Unwritable,        FailureKind::DiskFull,
    FailureKind::NotPermitted,  FailureKind::NameConflict,      FailureKind::UsageError,
    FailureKind::StoppedByUser,
};

/// A short stable token for the kind, as the index's status column records it after "failed: "
/// ("disk-full"). Never changes once written, so that old index files stay readable.
std::string_view failureToken(FailureKind kind);
/// The kind a token names, or nothing for an unknown one.
std::optional<FailureKind> failureKindOfToken(std::string_view token);
/// A few words for people: "the disk is full".
std::string_view failureText(FailureKind kind);
/// The kind an error number (errno) stands for: ENOSPC and EDQUOT are a full disk, EACCES, EPERM
/// and ELOOP not permitted, EEXIST a name conflict; any other is nothing.
std::optional<FailureKind> failureKindOfErrno(int errorNumber);

} // namespace tessaly
