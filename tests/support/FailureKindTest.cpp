// Failure kinds: what an error number stands for, and the tokens the index keeps.
#include "support/FailureKind.h"
#include "support/SystemReason.h"

#include <gtest/gtest.h>

#include <cerrno>

using namespace tessaly;

TEST(FailureKind, ErrorNumbersMapToTheKindAUserActsOn)
{
    const struct
    {
        int errorNumber;
        std::optional<FailureKind> kind;
    } cases[] = {
        {ENOSPC, FailureKind::DiskFull},
        {EDQUOT, FailureKind::DiskFull},
        {EACCES, FailureKind::NotPermitted},
        {EPERM, FailureKind::NotPermitted},
        {ELOOP, FailureKind::NotPermitted},
        {EEXIST, FailureKind::NameConflict},
        {ENOENT, std::nullopt},
        {EIO, std::nullopt},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(failureKindOfErrno(c.errorNumber), c.kind) << systemReason(c.errorNumber);
        // Any other number is what failing at that step means.
        const Error error = systemError("cannot write 'a.pdf': ", c.errorNumber, FailureKind::Unwritable);
        EXPECT_EQ(error.kind, c.kind.value_or(FailureKind::Unwritable)) << error.message;
        EXPECT_EQ(error.within("box: ").kind, error.kind) << "context keeps the kind";
    }
}

TEST(FailureKind, EveryTokenNamesItsKindBackAndIsDistinct)
{
    for (const FailureKind kind : kAllFailureKinds) {
        EXPECT_EQ(failureKindOfToken(failureToken(kind)), kind) << failureToken(kind);
        EXPECT_FALSE(failureText(kind).empty());
    }
    EXPECT_EQ(failureKindOfToken("failed"), std::nullopt);
}
