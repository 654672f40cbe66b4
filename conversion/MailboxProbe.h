// The probe that chooses how a mailbox is read.
#pragma once

#include "support/Result.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace tessaly {

/// How many bytes at the start of a mailbox the probe looks at.
inline constexpr std::size_t kProbeSize = 512;

/// How a mailbox is read.
enum class MailboxKind
{
    Normal,    ///< line mode
    NotNormal, ///< block mode
};

struct ProbeResult
{
    /// Block mode when a line feed is among the probed bytes, else line mode.
    MailboxKind mailboxKind = MailboxKind::Normal;
    /// Position (from 1) of the first line feed among the probed bytes, 0 if none.
    long fromPosition = 0;
};

/// Decides from a mailbox's first bytes (only the first kProbeSize count).
ProbeResult probeMailboxStart(std::string_view firstBytes);

/// What the start of a file says it holds.
enum class MailboxContent
{
    Mail,        ///< its first line is a "From " line
    Empty,       ///< nothing, or white space only: an empty mailbox
    NotAMailbox, ///< anything else
};

/// The rule for what is mail: after an optional UTF-8 byte-order mark and blank lines, the
/// first line starts with "From ". A file of nothing or white space only is an empty mailbox,
/// as mail clients keep empty folders (Trash, Drafts) as 0-byte files. Bytes are fed in
/// pieces of any size; the check decides as soon as it can.
class MailboxStartCheck
{
public:
    /// The next bytes of the file, from its start.
    void feed(std::string_view bytes);
    /// Whether more bytes could not change the result.
    bool isDecided() const { return m_decided; }
    /// The result once the file has ended (or the check is decided).
    MailboxContent result() const;

private:
    /// Bytes of the byte-order mark matched so far; 3 when past it.
    int m_markMatched = 0;
    bool m_atLineStart = true;
    bool m_sawText = false;
    /// Bytes of "From " matched at the first line with text.
    std::size_t m_fromMatched = 0;
    bool m_decided = false;
    MailboxContent m_result = MailboxContent::Empty;
};

/// The check over bytes held in memory, taken as the whole file.
MailboxContent classifyMailboxStart(std::string_view wholeFile);

/// Reads the file at `path` (UTF-8) from its start until the check is decided. Fails, with
/// the reason and kind, for a file that cannot be opened or read (a folder is not a mailbox).
Result<MailboxContent> checkMailboxFile(const std::string &path);

/// Reads up to kProbeSize bytes from the start of the file at `path` (UTF-8). An unreadable
/// file reads as empty; the run reports it when it opens the mailbox for splitting.
std::string readProbeBytes(const std::string &path);

} // namespace tessaly
