#include "support/FailureKind.h"

#include <cerrno>
#include <iterator>

namespace tessaly {

namespace {

struct KindWords
{
    FailureKind kind;
    std::string_view token;
    std::string_view text;
};

constexpr KindWords kKindWords[] = {
    {FailureKind::NotAMailbox, "not-a-mailbox", "not a mailbox"},
    {FailureKind::Unreadable, "unreadable", "could not be read"},
    {FailureKind::MalformedMessage, "malformed-message", "malformed message"},
    {FailureKind::Unsupported, "unsupported", "not supported on this system"},
    {FailureKind::OverTimeLimit, "time-limit", "over the time limit"},
    {FailureKind::OverMemoryLimit, "memory-limit", "over the memory limit"},
    {FailureKind::WorkerCrashed, "worker-crashed", "the converter process crashed"},
    {FailureKind::WorkerOutOfBounds, "out-of-bounds", "the converter process answered out of bounds"},
    {FailureKind::RenderFailed, "render-failed", "could not be rendered"},
    {FailureKind::InternalError, "internal-error", "an internal error of Tessaly"},
    {FailureKind::Unwritable, "unwritable", "could not be written"},
    {FailureKind::DiskFull, "disk-full", "the disk is full"},
    {FailureKind::NotPermitted, "not-permitted", "not permitted"},
    {FailureKind::NameConflict, "name-conflict", "name conflict"},
    {FailureKind::UsageError, "usage-error", "not a valid command line"},
    {FailureKind::StoppedByUser, "stopped-by-user", "stopped by you"},
};

static_assert(std::size(kKindWords) == std::size(kAllFailureKinds), "every kind has its words");

const KindWords &wordsOf(FailureKind kind)
{
    for (const KindWords &words : kKindWords) {
        if (words.kind == kind)
            return words;
    }
    return kKindWords[0]; // not reached: every kind has its words
}

} // namespace

std::string_view failureToken(FailureKind kind)
{
    return wordsOf(kind).token;
}

std::optional<FailureKind> failureKindOfToken(std::string_view token)
{
    for (const KindWords &words : kKindWords) {
        if (words.token == token)
            return words.kind;
    }
    return std::nullopt;
}

std::string_view failureText(FailureKind kind)
{
    return wordsOf(kind).text;
}

std::optional<FailureKind> failureKindOfErrno(int errorNumber)
{
    switch (errorNumber) {
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
        return FailureKind::DiskFull;
    case EACCES:
    case EPERM:
#ifdef ELOOP
    case ELOOP:
#endif
        return FailureKind::NotPermitted;
    case EEXIST:
        return FailureKind::NameConflict;
    default:
        return std::nullopt;
    }
}

} // namespace tessaly
