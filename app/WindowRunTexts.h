// The texts the window shows of a conversion run, and its report file. What the command line
// shares with them (durations, the time left, the problems list) is in conversion/RunTexts.h.
#pragma once

#include "conversion/RunReport.h"

#include <cstdint>
#include <string>

namespace tessaly {

/// "Mailbox 2 (of 5) ", with its trailing blank.
std::string mailboxProgressText(int mailboxNumber, int mailboxCount);

/// "Saved 3 Email Messages..."
std::string savedProgressText(int messageNumber);

/// The message shown when every message of every mailbox was converted.
std::string completionMessageText();

/// The message shown when Convert is pressed with no mailbox in the list.
std::string nothingToConvertText();

/// The bar's text during a run: messages done and, once the pace is known, the time left.
/// "12 messages done", "120 messages done, about 1:05 left" (see estimatedSecondsLeft).
std::string runProgressText(int messagesDone, std::uint64_t bytesSplit, std::uint64_t totalBytes,
                            double elapsedSeconds);

/// One line with the run's counts, time and output folder: "Converted: 250 (3 with
/// warnings), failed: 2, skipped: 1. Time: 0:12. Output folder: /out/".
std::string runCountsLine(const RunReport &report);

/// Every failure, warning, empty mailbox and skipped duplicate of a run, one per line, with no
/// limit: the box's details and the log file.
std::string runDetailsText(const RunReport &report);

/// The text of the box that ends a run: the completion message when nothing failed, the
/// failure summary otherwise, then the counts line.
std::string runEndText(const RunReport &report);

/// What went wrong in a run, for a message box: how many messages were converted, which
/// failed (and where their message files were kept), which mailboxes failed or held no
/// message. Long lists are cut short with a count of the rest.
std::string failureSummaryText(const RunReport &report);

} // namespace tessaly
