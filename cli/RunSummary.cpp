#include "cli/RunSummary.h"

#include <cstdio>

namespace tessaly {

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
    std::string problems;
    for (const auto &[kind, failures] : report.failuresByKind()) {
        for (const MessageFailure &failure : failures) {
            problems += "error: '" + failure.mailbox + "': message " + std::to_string(failure.messageNumber) +
                        " (byte " + std::to_string(failure.offset) + "): " + std::string(failureText(kind)) + ": " +
                        failure.reason;
            if (!failure.keptMessageFile.empty())
                problems += " (kept as '" + failure.keptMessageFile + "')";
            problems += '\n';
        }
    }
    if (const std::optional<RunStop> &stop = report.stoppedAt; stop && stop->byUser) {
        problems += "the run was stopped at ";
        problems += stop->messageNumber > 0 ? "message " + std::to_string(stop->messageNumber) + " of " : "";
        problems += "'" + stop->mailbox + "'; run it again to go on from there\n";
    } else if (stop) {
        problems += "error: the run stopped at ";
        problems += stop->messageNumber > 0 ? "message " + std::to_string(stop->messageNumber) + " of " : "";
        problems += "'" + stop->mailbox + "' (" + std::string(failureText(stop->kind)) +
                    "); run it again to go on from there\n";
    }
    for (const MailboxFailure &failure : report.failedMailboxes)
        problems += "error: '" + failure.mailbox +
                    "': " + (failure.kind ? std::string(failureText(*failure.kind)) + ": " : std::string()) +
                    failure.reason + '\n';
    for (const std::string &mailbox : report.emptyMailboxes)
        problems += "warning: '" + mailbox + "': empty mailbox\n";
    for (const std::string &warning : report.warnings)
        problems += "warning: " + warning + '\n';
    for (const std::string &mailbox : report.skippedDuplicates)
        problems += "warning: '" + mailbox + "': named more than once; converted once\n";
    return problems;
}

} // namespace tessaly
