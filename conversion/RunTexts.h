// The texts a conversion run shows.
#pragma once

#include "RunReport.h"

#include <string>

namespace tessaly {

/// "Mailbox 2 (of 5) ", with its trailing blank.
std::string mailboxProgressText(int mailboxNumber, int mailboxCount);

/// "Saved 3 Email Messages..."
std::string savedProgressText(int messageNumber);

/// The message shown when every message of every mailbox was converted.
std::string completionMessageText();

/// What went wrong in a run, for a message box: how many messages were converted, which
/// failed (and where their message files were kept), which mailboxes failed or held no
/// message. Long lists are cut short with a count of the rest.
std::string failureSummaryText(const RunReport &report);

} // namespace tessaly
