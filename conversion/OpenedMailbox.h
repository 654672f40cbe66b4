// A mailbox file opened once for all that a run reads of it.
#pragma once

#include "conversion/MailboxFileReader.h"
#include "conversion/MailboxReader.h"
#include "conversion/MailboxStartCheck.h"
#include "support/Result.h"

#include <string>

namespace tessaly {

struct OpenedMailbox
{
    MailboxFileReader file;
    /// What its start holds; Mail when it was not checked.
    MailboxStart start{MailboxContent::Mail, 0, {}};
    /// How it is split, probed from its first bytes.
    SplitMode splitMode = SplitMode::Line;
};

/// Opens the mailbox file at `path` (UTF-8), probes its split mode and, when `checkStart`,
/// reads from its start until the start check is decided. The file is then to be restricted
/// (MailboxFileReader::restrictTo) to what is read next. Fails, with the reason and kind, for a
/// file that cannot be opened or read (a folder is not a mailbox).
Result<OpenedMailbox> openMailbox(const std::string &path, bool checkStart);

/// What the start of the file at `path` holds (see MailboxStartCheck).
Result<MailboxStart> checkMailboxFile(const std::string &path);

} // namespace tessaly
