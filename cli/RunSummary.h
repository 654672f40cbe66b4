// The closing summary of a command-line run.
#pragma once

#include "conversion/RunReport.h"

#include <string>

namespace tessaly {

/// Mailboxes, messages converted and failed, skipped duplicates, and the time taken.
std::string formatRunSummary(const RunReport &report, double seconds);

/// The first line for stderr: how many messages failed of each kind, e.g.
/// "failed messages by kind: disk-full 1, render-failed 2"; "" when none failed.
std::string formatFailureCounts(const RunReport &report);

/// One line per failure, grouped by kind, with its reason; where the run stopped, if it did;
/// then one per warning: for stderr.
std::string formatRunProblems(const RunReport &report);

} // namespace tessaly
