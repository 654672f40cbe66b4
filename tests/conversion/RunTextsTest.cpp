// The run texts the window and the command line share: durations, the time left, and the walk
// over a run's problems.
#include "conversion/RunTexts.h"

#include <gtest/gtest.h>

namespace tessaly {
namespace {

TEST(RunTexts, DurationsRoundToTheSecondShowHoursAsAskedAndNothingBelowZero)
{
    EXPECT_EQ(formatDuration(59.5), "1:00");
    EXPECT_EQ(formatDuration(3599.4), "59:59");
    EXPECT_EQ(formatDuration(3723), "1:02:03");
    EXPECT_EQ(formatDuration(65, HoursShown::Always), "0:01:05");
    EXPECT_EQ(formatDuration(360000, HoursShown::Always), "100:00:00");
    EXPECT_EQ(formatDuration(-3, HoursShown::Always), "0:00:00");
}

TEST(RunTexts, TimeLeftWaitsForAPaceAndOnlyForBytesTheRunHolds)
{
    EXPECT_EQ(estimatedSecondsLeft(50, 200, 10.0), 30.0);
    EXPECT_EQ(estimatedSecondsLeft(200, 200, 10.0), 0.0);
    EXPECT_EQ(estimatedSecondsLeft(50, 200, 1.5), std::nullopt); // a pace, but too short a one
    EXPECT_EQ(estimatedSecondsLeft(0, 200, 10.0), std::nullopt);
    EXPECT_EQ(estimatedSecondsLeft(300, 200, 10.0), std::nullopt);
}

TEST(RunTexts, TheProblemsListTellsEachEntryOnceWithTheStopAndFailuresInTheOrderAsked)
{
    struct Tags : RunProblemWording
    {
        std::string stop(const RunStop &stop) const override { return "stop " + std::to_string(stop.messageNumber); }
        std::string failedMessage(const MessageFailure &failure) const override
        {
            return "message " + std::to_string(failure.messageNumber);
        }
        std::string failedMailbox(const MailboxFailure &failure) const override { return "failed " + failure.mailbox; }
        std::string emptyMailbox(const std::string &mailbox) const override { return "empty " + mailbox; }
        std::string warning(const std::string &warning) const override { return "warning " + warning; }
        std::string skippedDuplicate(const std::string &mailbox) const override { return "twice " + mailbox; }
    };
    RunReport report;
    const Error notRendered{"", FailureKind::RenderFailed};
    report.failedMessages = {{"a", 2, "", notRendered, 0},
                             {"a", 3, "", Error{"", FailureKind::OverTimeLimit}, 0},
                             {"a", 4, "", notRendered, 0}};
    report.stoppedAt = RunStop{"a", 5, Error{"", FailureKind::DiskFull}};
    report.failedMailboxes = {{"b", Error{"", FailureKind::Unreadable}}};
    report.emptyMailboxes = {"c"};
    report.warnings = {"w"};
    report.skippedDuplicates = {"a"};

    const std::string rest = "failed b|empty c|warning w|twice a|";
    EXPECT_EQ(runProblemsText(report, Tags{}, ProblemOrder::StopFirst, "|"),
              "stop 5|message 2|message 3|message 4|" + rest);
    EXPECT_EQ(runProblemsText(report, Tags{}, ProblemOrder::ByKindThenStop, "|"),
              "message 3|message 2|message 4|stop 5|" + rest);
    EXPECT_EQ(runProblemsText(RunReport{}, Tags{}, ProblemOrder::StopFirst, "|"), "");
}

} // namespace
} // namespace tessaly
