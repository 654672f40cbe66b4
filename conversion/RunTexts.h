// The texts of a run that the window and the command line share: durations, the time left, and
// the walk over a run's problems, which each front end words in its own way.
#pragma once

#include "conversion/RunReport.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tessaly {

/// Whether a duration shows its hours when it lasts less than one.
enum class HoursShown
{
    WhenThere, ///< "1:05", "1:02:05"
    Always,    ///< "0:01:05", "1:02:05"
};

/// A duration for people, to the nearest second; less than nothing shows as none ("0:00").
std::string formatDuration(double seconds, HoursShown hours = HoursShown::WhenThere);

/// Before this many seconds a run's pace says too little for an estimate.
inline constexpr double kSecondsBeforeEstimate = 2.0;

/// How long the rest of a run takes at its pace so far: the bytes left, split as fast as those
/// before. Nothing before kSecondsBeforeEstimate, before the first byte, or when more was split
/// than the run holds.
std::optional<double> estimatedSecondsLeft(std::uint64_t bytesSplit, std::uint64_t totalBytes, double elapsedSeconds);

/// Where a run stopped: "message 12 of " then `mailboxName`, or `mailboxName` alone when it
/// stopped before the mailbox's first message.
std::string stopPlaceText(const RunStop &stop, const std::string &mailboxName);

/// Where a failed message lies in its mailbox: "message 3 (byte 1234)".
std::string messagePlaceText(const MessageFailure &failure);

/// Why a mailbox failed: its kind, where known, before the reason: "the disk is full: no space".
std::string mailboxFailureText(const MailboxFailure &failure);

/// How a front end words each entry of a run's problems list: one line, without its line break.
class RunProblemWording
{
public:
    virtual ~RunProblemWording() = default;
    virtual std::string stop(const RunStop &stop) const = 0;
    virtual std::string failedMessage(const MessageFailure &failure) const = 0;
    virtual std::string failedMailbox(const MailboxFailure &failure) const = 0;
    virtual std::string emptyMailbox(const std::string &mailbox) const = 0;
    virtual std::string warning(const std::string &warning) const = 0;
    virtual std::string skippedDuplicate(const std::string &mailbox) const = 0;
};

/// Where a problems list puts the stop, and in which order its failed messages.
enum class ProblemOrder
{
    /// The stop heads the list; the failed messages follow as the run met them.
    StopFirst,
    /// The failed messages by kind, in FailureKind's order, then the stop.
    ByKindThenStop,
};

/// Every problem of `report`, one line each, ended by `lineBreak`: the stop and the failed
/// messages as `order` says, then the failed mailboxes, the empty ones, the warnings and the
/// mailboxes listed twice, each list as the run recorded it. "" when there is none.
std::string runProblemsText(const RunReport &report, const RunProblemWording &wording, ProblemOrder order,
                            std::string_view lineBreak);

} // namespace tessaly
