// The closing summary of a command-line run.
#include "RunSummary.h"

#include <cstdio>

namespace tessaly {

std::string formatRunSummary(const RunReport &report, double seconds)
{
    std::string summary;
    summary += "mailboxes: " + std::to_string(report.mailboxesRead);
    if (!report.failedMailboxes.empty())
        summary += " (" + std::to_string(report.failedMailboxes.size()) + " could not be read)";
    summary += "\nmessages converted: " + std::to_string(report.messagesConverted);
    summary += "\nmessages failed: " + std::to_string(report.failedMessages.size()) + "\n";
    for (const MessageFailure &failure : report.failedMessages) {
        summary += "error: '" + failure.mailbox + "': message " + std::to_string(failure.messageNumber) + ": " +
                   failure.reason;
        if (!failure.keptMessageFile.empty())
            summary += " (kept as '" + failure.keptMessageFile + "')";
        summary += '\n';
    }
    for (const MailboxFailure &failure : report.failedMailboxes)
        summary += "error: '" + failure.mailbox + "': " + failure.reason + '\n';
    for (const std::string &mailbox : report.emptyMailboxes)
        summary += "warning: '" + mailbox + "': no message found\n";
    for (const std::string &warning : report.warnings)
        summary += "warning: " + warning + '\n';
    char time[64];
    std::snprintf(time, sizeof time, "time: %.1f s\n", seconds);
    summary += time;
    return summary;
}

} // namespace tessaly
