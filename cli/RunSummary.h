// The closing summary of a command-line run.
#pragma once

#include "RunReport.h"

#include <string>

namespace tessaly {

/// Mailboxes, messages converted, every failure with its reason, and the time taken.
std::string formatRunSummary(const RunReport &report, double seconds);

} // namespace tessaly
