// The report of a run kept as a file in its output folder, so nothing lives only on screen.
#pragma once

#include "conversion/RunReport.h"
#include "support/Result.h"

#include <ctime>
#include <string>

namespace tessaly {

/// "Tessaly report 2026-12-08 07-12-33.txt" for the local time `when`.
std::string runLogFileName(std::time_t when);

/// Writes the counts line and the full list (runDetailsText) to runLogFileName(when) in the
/// report's output folder, never replacing a file. Returns the path written.
Result<std::string> writeRunLog(const RunReport &report, std::time_t when);

} // namespace tessaly
