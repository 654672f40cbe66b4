#include "cli/ConsoleProgress.h"
#include "cli/RunSummary.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace tessaly;
using namespace std::chrono_literals;

TEST(ConsoleProgress, TerminalLineShowsMailboxMessagesRateAndTimeLeft)
{
    std::ostringstream out;
    auto now = std::chrono::steady_clock::time_point{} + 1h;
    ConsoleProgress progress(out, true, [&] { return now; });
    progress.runStarted(200'000'000);
    progress.mailboxStarted(0, 2, "/mail/Inbox.mbox");
    now += 10s;
    progress.progressed({50'000'000, 200'000'000, 0});
    progress.messageFinished(1, MessageOutcome::Converted);
    progress.messageFinished(2, MessageOutcome::Failed);
    progress.messageFinished(3, MessageOutcome::ConvertedEarlier);
    now += 1s;
    progress.progressed({50'000'000, 200'000'000, 3});
    progress.runFinished({});

    const std::string text = out.str();
    EXPECT_NE(text.find("mailbox 1 of 2"), std::string::npos) << text;
    EXPECT_NE(text.find("2 messages, 1 failed"), std::string::npos) << text;
    EXPECT_NE(text.find("MB/s"), std::string::npos) << text;
    // 50 MB in 11 s, 150 MB to go: about 33 s left.
    EXPECT_NE(text.find("0:00:33 left"), std::string::npos) << text;
    EXPECT_EQ(text.back(), '\n');
}

TEST(ConsoleProgress, WithoutTerminalPrintsPlainLinesOnly)
{
    std::ostringstream out;
    ConsoleProgress progress(out, false);
    progress.mailboxStarted(0, 1, "/mail/Inbox.mbox");
    progress.messageFinished(1, MessageOutcome::Converted);
    progress.runFinished({});
    EXPECT_EQ(out.str(), "mailbox 1 of 1: Inbox.mbox\n");
}

TEST(RunSummary, NamesEveryFailureWithItsReasonAndKeptFile)
{
    RunReport report;
    report.mailboxesRead = 2;
    report.messagesConverted = 5;
    report.failedMessages.push_back(
        {"/m/a.mbox", 3, "/out/m/a.mbox/email-3.eml", Error{"cannot render", FailureKind::RenderFailed}, 1234});
    report.messagesSkipped = 7;
    report.failedMailboxes.push_back({"/m/b.mbox", Error{"cannot open: Permission denied", FailureKind::NotPermitted}});
    report.skippedDuplicates.push_back("/m/a.mbox");
    const std::string summary = formatRunSummary(report, 2.0);
    EXPECT_NE(summary.find("duplicates skipped: 1"), std::string::npos);
    EXPECT_NE(summary.find("messages converted: 5"), std::string::npos);
    EXPECT_NE(summary.find("messages failed: 1"), std::string::npos);
    EXPECT_NE(summary.find("time: 2.0 s"), std::string::npos);
    EXPECT_NE(summary.find("messages skipped (converted earlier): 7"), std::string::npos);
    const std::string problems = formatRunProblems(report);
    EXPECT_NE(problems.find("error: '/m/a.mbox': message 3 (byte 1234): could not be rendered: cannot render (kept as "
                            "'/out/m/a.mbox/email-3.eml')"),
              std::string::npos)
        << problems;
    EXPECT_NE(problems.find("error: '/m/b.mbox': not permitted: cannot open: Permission denied"), std::string::npos);
    EXPECT_NE(problems.find("warning: '/m/a.mbox': named more than once; converted once"), std::string::npos);
}

TEST(RunSummary, FailuresAreCountedAndListedByKindAndAStopSaysWhereToGoOnFrom)
{
    RunReport report;
    const Error notRendered{"cannot render", FailureKind::RenderFailed};
    const Error noSpace{"no space", FailureKind::DiskFull};
    report.failedMessages = {{"/m/a.mbox", 2, "", notRendered, 10},
                             {"/m/a.mbox", 3, "", Error{"too slow", FailureKind::OverTimeLimit}, 20},
                             {"/m/a.mbox", 4, "", noSpace, 30},
                             {"/m/a.mbox", 5, "", notRendered, 40}};
    report.stoppedAt = RunStop{"/m/a.mbox", 4, noSpace};
    EXPECT_EQ(formatFailureCounts(report), "failed messages by kind: time-limit 1, render-failed 2, disk-full 1\n");
    EXPECT_EQ(formatFailureCounts(RunReport{}), "");
    const std::string problems = formatRunProblems(report);
    const auto at = [&](const std::string &text) { return problems.find(text); };
    EXPECT_LT(at("message 3 (byte 20): over the time limit: too slow"),
              at("message 2 (byte 10): could not be rendered"));
    EXPECT_LT(at("message 5 (byte 40)"), at("message 4 (byte 30): the disk is full: no space"));
    EXPECT_NE(at("error: the run stopped at message 4 of '/m/a.mbox' (the disk is full); run it again to go on from "
                 "there"),
              std::string::npos)
        << problems;
}
