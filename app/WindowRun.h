// The window's side of a conversion run: the output folder, the Convert button and the report box.
#pragma once

#include "conversion/RunReport.h"
#include "platform/Platform.h"
#include "support/Result.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tessaly {

/// Converts the mailbox list into the folder given, and reports what it did.
using ConvertIntoFolder = std::function<RunReport(const std::string &outputFolder)>;

/// Whether a run can write in `folder`: a file is made there and removed again. Fails with the
/// folder and the reason.
Result<void> checkOutputFolder(const std::string &folder);

/// The Convert button's work around a run. A list without a mailbox (`mailboxes` all blank)
/// says so (style 48) and returns nullopt; so does a cancelled folder choice ("Choose Folder
/// to Save..."), silently. A folder the run cannot write in is said so (style 48), and the
/// folder asked for again. Otherwise tells `runStarts`, has `convert` convert the list into
/// the chosen folder (with a trailing separator), writes the report as a log file in the
/// output folder and ends with the report box: the completion message (no failure) or the
/// failure summary (style 48), each followed by the counts line, with the full list as
/// details. When `exiting` says so at the end, the log is written and no box is shown.
std::optional<RunReport> runWithOutputFolderChoice(Platform &platform, const std::vector<std::string> &mailboxes,
                                                   const std::function<void()> &runStarts,
                                                   const ConvertIntoFolder &convert,
                                                   const std::function<bool()> &exiting = {});

} // namespace tessaly
