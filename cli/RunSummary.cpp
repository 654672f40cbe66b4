#include "cli/RunSummary.h"

#include "conversion/RunTexts.h"

#include <cstdio>

namespace tessaly {
namespace {

/// stderr's lines: errors and warnings, each naming its mailbox in quotes.
class ConsoleProblemWording : public RunProblemWording
{
public:
    std::string stop(const RunStop &stop) const override
    {
        const std::string where = stopPlaceText(stop, "'" + stop.mailbox + "'");
        if (stop.error.kind == FailureKind::StoppedByUser)
            return "the run was stopped at " + where + "; run it again to go on from there";
        return "error: the run stopped at " + where + " (" + std::string(failureText(stop.error.kind)) +
               "); run it again to go on from there";
    }
    std::string failedMessage(const MessageFailure &failure) const override
    {
        std::string line = "error: '" + failure.mailbox + "': " + messagePlaceText(failure) + ": " +
                           std::string(failureText(failure.error.kind)) + ": " + failure.error.message;
        if (!failure.keptMessageFile.empty())
            line += " (kept as '" + failure.keptMessageFile + "')";
        return line;
    }
    std::string failedMailbox(const MailboxFailure &failure) const override
    {
        return "error: '" + failure.mailbox + "': " + mailboxFailureText(failure);
    }
    std::string emptyMailbox(const std::string &mailbox) const override
    {
        return "warning: '" + mailbox + "': empty mailbox";
    }
    std::string warning(const std::string &warning) const override { return "warning: " + warning; }
    std::string skippedDuplicate(const std::string &mailbox) const override
    {
        return "warning: '" + mailbox + "': named more than once; converted once";
    }
};

} // namespace

std::string formatRunSummary(const RunReport &report, double seconds)
{
    std::string summary = "mailboxes: " + std::to_string(report.mailboxesRead);
    if (!report.failedMailboxes.empty())
        summary += " (" + std::to_string(report.failedMailboxes.size()) + " failed)";
    summary += "\nmessages converted: " + std::to_string(report.messagesConverted);
    summary += "\nmessages failed: " + std::to_string(report.failedMessages.size());
    summary += "\nduplicates skipped: " + std::to_string(report.skippedDuplicates.size());
    if (report.messagesSkipped > 0)
        summary += "\nmessages skipped (converted earlier): " + std::to_string(report.messagesSkipped);
    char time[64];
    std::snprintf(time, sizeof time, "\ntime: %.1f s\n", seconds);
    return summary + time;
}

std::string formatFailureCounts(const RunReport &report)
{
    std::string counts;
    for (const auto &[kind, failures] : report.failuresByKind())
        counts += (counts.empty() ? "failed messages by kind: " : ", ") + std::string(failureToken(kind)) + " " +
                  std::to_string(failures.size());
    return counts.empty() ? counts : counts + '\n';
}

std::string formatRunProblems(const RunReport &report)
{
    return runProblemsText(report, ConsoleProblemWording(), ProblemOrder::ByKindThenStop, "\n");
}

} // namespace tessaly
