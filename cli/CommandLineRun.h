// The command line's side of a run: its mailboxes, its settings, and the run itself.
#pragma once

#include "cli/CliOptions.h"
#include "conversion/RunReport.h"
#include "platform/ConcurrentMailConverter.h"
#include "platform/MessageReader.h"

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace tessaly {

/// The mailboxes named on the command line: files as given (made absolute, so the output
/// tree repeats their folders as the window's does), folders replaced by the mailboxes found
/// in them, breadth first.
struct MailboxSelection
{
    std::vector<std::string> mailboxes;
    std::vector<std::string> warnings; ///< e.g. folders that could not be read
};
MailboxSelection selectMailboxes(const std::vector<std::string> &inputs);

/// Converts `mailboxes` as `options` say, showing progress on `progress` (a terminal gets a
/// rewritten line). The run stops soon once `stopRequested` says so (see
/// ConversionRun::requestStop). Returns what the run did.
RunReport runFromCommandLine(const CliOptions &options, const std::vector<std::string> &mailboxes,
                             ConcurrentMailConverterFactory makeConverter, MessageReaderFactory makeReader,
                             std::ostream &progress, bool progressIsTerminal, std::function<bool()> stopRequested = {});

} // namespace tessaly
