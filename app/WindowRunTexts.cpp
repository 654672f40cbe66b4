#include "app/WindowRunTexts.h"

#include "conversion/RunTexts.h"
#include "support/PathHelpers.h"

namespace tessaly {
namespace {

/// How many entries of each list the summary names before it only counts the rest.
constexpr std::size_t kListedEntries = 10;

constexpr const char *kLineBreak = "\r\n";

std::string plural(std::size_t count, const std::string &one, const std::string &many)
{
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

template <typename Entries, typename Describe>
void appendList(std::string &text, const Entries &entries, Describe describe)
{
    for (std::size_t i = 0; i < entries.size() && i < kListedEntries; ++i)
        text += "    " + describe(entries[i]) + kLineBreak;
    if (entries.size() > kListedEntries)
        text += "    ... and " + std::to_string(entries.size() - kListedEntries) + " more" + kLineBreak;
}

std::string describeFailure(const MessageFailure &failure)
{
    std::string line = PathFileName(failure.mailbox) + ", " + messagePlaceText(failure) + ": " + failure.error.message;
    if (!failure.keptMessageFile.empty())
        line += "; kept as " + failure.keptMessageFile;
    return line;
}

std::string describeMailboxFailure(const MailboxFailure &failure)
{
    return failure.mailbox + ": " + mailboxFailureText(failure);
}

/// Where and why the run stopped early, one paragraph: "Stopped by you at message 12 of
/// a.mbox. ...", or "The disk holding /out/ is full. ...".
std::string stopText(const RunStop &stop, const std::string &outputFolder)
{
    const std::string where = stopPlaceText(stop, PathFileName(stop.mailbox));
    std::string text;
    if (stop.error.kind == FailureKind::StoppedByUser)
        text = "Stopped by you at " + where + ".";
    else if (stop.error.kind == FailureKind::DiskFull)
        text = "The disk holding " + outputFolder + " is full. The export stopped at " + where + ".";
    else
        text = "The export stopped at " + where + ": " + std::string(failureText(stop.error.kind)) + ".";
    return text + " Run it again into the same folder to go on from there.";
}

/// The details' and the log file's lines, one per problem.
class WindowProblemWording : public RunProblemWording
{
public:
    explicit WindowProblemWording(const std::string &outputFolder) : m_outputFolder(outputFolder) {}

    std::string stop(const RunStop &stop) const override { return stopText(stop, m_outputFolder); }
    std::string failedMessage(const MessageFailure &failure) const override
    {
        return "Failed: " + describeFailure(failure);
    }
    std::string failedMailbox(const MailboxFailure &failure) const override
    {
        return "Failed: " + describeMailboxFailure(failure);
    }
    std::string emptyMailbox(const std::string &mailbox) const override { return "Empty mailbox: " + mailbox; }
    std::string warning(const std::string &warning) const override { return "Warning: " + warning; }
    std::string skippedDuplicate(const std::string &mailbox) const override
    {
        return "Skipped, listed twice: " + mailbox;
    }

private:
    std::string m_outputFolder;
};

std::string failedCount(const RunReport &report)
{
    return std::to_string(report.failedMessages.size() + report.failedMailboxes.size());
}

} // namespace

std::string nothingToConvertText()
{
    return "There is no mailbox in the list to convert. Add mailbox files first.";
}

std::string runProgressText(int messagesDone, std::uint64_t bytesSplit, std::uint64_t totalBytes, double elapsedSeconds)
{
    std::string text = plural(static_cast<std::size_t>(messagesDone), "message", "messages") + " done";
    if (const std::optional<double> left = estimatedSecondsLeft(bytesSplit, totalBytes, elapsedSeconds))
        text += ", about " + formatDuration(*left) + " left";
    return text;
}

std::string runCountsLine(const RunReport &report)
{
    std::string line = "Converted: " + std::to_string(report.messagesConverted);
    if (report.messagesWithWarnings > 0)
        line += " (" + std::to_string(report.messagesWithWarnings) + " with warnings)";
    line += ", failed: " + failedCount(report);
    line += ", skipped: " + std::to_string(report.skippedDuplicates.size());
    if (report.messagesSkipped > 0)
        line += ", already converted earlier: " + std::to_string(report.messagesSkipped);
    line += ". Time: " + formatDuration(report.seconds) + ". Output folder: " + report.outputFolder;
    return line;
}

std::string runDetailsText(const RunReport &report)
{
    std::string text =
        runProblemsText(report, WindowProblemWording(report.outputFolder), ProblemOrder::StopFirst, kLineBreak);
    if (report.messagesSkipped > 0)
        text += "Skipped " + std::to_string(report.messagesSkipped) +
                " messages that an earlier run converted into the same folders (their rows in "
                "\"Tessaly index.csv\" name their PDFs)." +
                kLineBreak;
    return text;
}

std::string runEndText(const RunReport &report)
{
    // Both texts end in a line break. The counts line follows the completion message directly
    // and stands apart from the summary's lists.
    if (report.allSucceeded())
        return completionMessageText() + runCountsLine(report);
    if (report.stoppedByUser() && report.failedMessages.empty() && report.failedMailboxes.empty())
        return stopText(*report.stoppedAt, report.outputFolder) + kLineBreak + kLineBreak + runCountsLine(report);
    return failureSummaryText(report) + kLineBreak + runCountsLine(report);
}

std::string mailboxProgressText(int mailboxNumber, int mailboxCount)
{
    return "Mailbox " + std::to_string(mailboxNumber) + " (of " + std::to_string(mailboxCount) + ") ";
}

std::string savedProgressText(int messageNumber)
{
    return "Saved " + std::to_string(messageNumber) + " Email Messages...";
}

std::string completionMessageText()
{
    const std::string stars(75, '*');
    return stars + kLineBreak + "Your messages from MBOX files has been successfully exported." + kLineBreak + stars +
           kLineBreak;
}

std::string failureSummaryText(const RunReport &report)
{
    std::string text = report.stoppedAt ? stopText(*report.stoppedAt, report.outputFolder) + kLineBreak + kLineBreak
                                        : "The export finished with problems." + std::string(kLineBreak) + kLineBreak;
    text += plural(static_cast<std::size_t>(report.messagesConverted), "message was", "messages were") + " converted." +
            kLineBreak;

    if (!report.failedMessages.empty()) {
        text += kLineBreak + plural(report.failedMessages.size(), "message", "messages") +
                " could not be converted:" + kLineBreak;
        for (const auto &[kind, failures] : report.failuresByKind()) {
            text += "  " + std::string(failureText(kind)) + " (" + std::to_string(failures.size()) + "):" + kLineBreak;
            appendList(text, failures, describeFailure);
        }
    }
    if (!report.failedMailboxes.empty()) {
        text += kLineBreak + plural(report.failedMailboxes.size(), "mailbox", "mailboxes") + " failed:" + kLineBreak;
        appendList(text, report.failedMailboxes,
                   [](const MailboxFailure &failure) { return describeMailboxFailure(failure); });
    }
    if (!report.emptyMailboxes.empty()) {
        text +=
            kLineBreak + plural(report.emptyMailboxes.size(), "mailbox was", "mailboxes were") + " empty:" + kLineBreak;
        appendList(text, report.emptyMailboxes, [](const std::string &mailbox) { return mailbox; });
    }
    return text;
}

} // namespace tessaly
