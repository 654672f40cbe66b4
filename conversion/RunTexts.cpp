#include "conversion/RunTexts.h"

namespace tessaly {
namespace {

std::string twoDigits(long long value)
{
    return (value < 10 ? "0" : "") + std::to_string(value);
}

} // namespace

std::string formatDuration(double seconds, HoursShown hours)
{
    const long long total = seconds > 0 ? static_cast<long long>(seconds + 0.5) : 0;
    if (hours == HoursShown::Always || total >= 3600)
        return std::to_string(total / 3600) + ":" + twoDigits(total / 60 % 60) + ":" + twoDigits(total % 60);
    return std::to_string(total / 60) + ":" + twoDigits(total % 60);
}

std::optional<double> estimatedSecondsLeft(std::uint64_t bytesSplit, std::uint64_t totalBytes, double elapsedSeconds)
{
    if (elapsedSeconds < kSecondsBeforeEstimate || bytesSplit == 0 || totalBytes < bytesSplit)
        return std::nullopt;
    return elapsedSeconds * static_cast<double>(totalBytes - bytesSplit) / static_cast<double>(bytesSplit);
}

std::string stopPlaceText(const RunStop &stop, const std::string &mailboxName)
{
    if (stop.messageNumber <= 0)
        return mailboxName;
    return "message " + std::to_string(stop.messageNumber) + " of " + mailboxName;
}

std::string messagePlaceText(const MessageFailure &failure)
{
    return "message " + std::to_string(failure.messageNumber) + " (byte " + std::to_string(failure.offset) + ")";
}

std::string mailboxFailureText(const MailboxFailure &failure)
{
    return std::string(failureText(failure.error.kind)) + ": " + failure.error.message;
}

std::string runProblemsText(const RunReport &report, const RunProblemWording &wording, ProblemOrder order,
                            std::string_view lineBreak)
{
    std::string text;
    const auto addLine = [&](const std::string &line) {
        text += line;
        text += lineBreak;
    };
    if (order == ProblemOrder::StopFirst) {
        if (report.stoppedAt)
            addLine(wording.stop(*report.stoppedAt));
        for (const MessageFailure &failure : report.failedMessages)
            addLine(wording.failedMessage(failure));
    } else {
        for (const auto &[kind, failures] : report.failuresByKind()) {
            for (const MessageFailure &failure : failures)
                addLine(wording.failedMessage(failure));
        }
        if (report.stoppedAt)
            addLine(wording.stop(*report.stoppedAt));
    }
    for (const MailboxFailure &failure : report.failedMailboxes)
        addLine(wording.failedMailbox(failure));
    for (const std::string &mailbox : report.emptyMailboxes)
        addLine(wording.emptyMailbox(mailbox));
    for (const std::string &warning : report.warnings)
        addLine(wording.warning(warning));
    for (const std::string &mailbox : report.skippedDuplicates)
        addLine(wording.skippedDuplicate(mailbox));
    return text;
}

} // namespace tessaly
