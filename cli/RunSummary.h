// The closing summary of a command-line run.
#pragma once

#include "conversion/RunReport.h"

#include <string>

namespace tessaly {

/// Mailboxes, messages converted and failed, skipped duplicates, and the time taken.
std::string formatRunSummary(const RunReport &report, double seconds);

/// One line per failure, with its reason, and per warning: for stderr.
std::string formatRunProblems(const RunReport &report);

} // namespace tessaly
