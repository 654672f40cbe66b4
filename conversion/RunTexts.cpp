// The texts a conversion run shows.
#include "RunTexts.h"

#include "PathHelpers.h"

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

} // namespace

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
    return stars + kLineBreak + "Your messages from MBOX files has been successfully exported." + kLineBreak +
           stars + kLineBreak;
}

std::string failureSummaryText(const RunReport &report)
{
    std::string text = "The export finished with problems." + std::string(kLineBreak) + kLineBreak;
    text += plural(static_cast<std::size_t>(report.messagesConverted), "message was", "messages were") +
            " converted." + kLineBreak;

    if (!report.failedMessages.empty()) {
        text += kLineBreak + plural(report.failedMessages.size(), "message", "messages") +
                " could not be converted:" + kLineBreak;
        appendList(text, report.failedMessages, [](const MessageFailure &failure) {
            std::string line = PathFileName(failure.mailbox) + ", message " +
                               std::to_string(failure.messageNumber) + " (byte " +
                               std::to_string(failure.offset) + "): " + failure.reason;
            if (!failure.keptMessageFile.empty())
                line += "; kept as " + failure.keptMessageFile;
            return line;
        });
    }
    if (!report.failedMailboxes.empty()) {
        text += kLineBreak + plural(report.failedMailboxes.size(), "mailbox", "mailboxes") +
                " failed:" + kLineBreak;
        appendList(text, report.failedMailboxes,
                   [](const MailboxFailure &failure) { return failure.mailbox + ": " + failure.reason; });
    }
    if (!report.emptyMailboxes.empty()) {
        text += kLineBreak + plural(report.emptyMailboxes.size(), "mailbox", "mailboxes") +
                " held no message:" + kLineBreak;
        appendList(text, report.emptyMailboxes, [](const std::string &mailbox) { return mailbox; });
    }
    return text;
}

} // namespace tessaly
