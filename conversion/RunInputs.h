// What a conversion run is given: the mailboxes, one per row, and the settings of the run.
#pragma once

#include "conversion/MailboxFileReader.h"
#include "conversion/MessageIndex.h"
#include "conversion/NamingOption.h"
#include "platform/MailConverter.h"

#include <optional>
#include <string>
#include <vector>

namespace tessaly {

/// One row of a run: a mailbox path (blanks around it are ignored, an empty row is skipped),
/// and the part of the mailbox to read: a range starting and ending at separators, whose
/// messages are numbered from 1, or the whole file. A source folder (a Maildir or an .eml
/// folder, see isSourceFolder) is named by its path; its range is one of positions in its
/// list of message files (messageFilesOf), not of bytes.
struct MailboxRow
{
    std::string path;
    std::optional<ByteRange> range;
};

/// A row per path, each mailbox read whole.
std::vector<MailboxRow> wholeMailboxRows(const std::vector<std::string> &paths);

/// How a run treats what earlier runs left in its output folders, and what it records.
struct IndexSettings
{
    /// Converts every message again, even those an index file records as converted.
    bool convertAgain = false;
    /// Gives each PDF the message's date as its file time.
    bool setFileTimes = true;
    /// The index file this run appends to in each mailbox's folder.
    std::string indexFileName{kIndexFileName};
};

/// The settings of a run, fixed at its start so every message of it is named and converted
/// alike.
struct RunSettings
{
    NamingOption naming = NamingOption::OptOriginal;
    AttachmentMode attachments = AttachmentMode::ListOnly;
    IndexSettings index;
};

} // namespace tessaly
