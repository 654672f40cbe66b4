// The probe that chooses how a mailbox is read.
#pragma once

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

/// Reads up to kProbeSize bytes from the start of the file at `path` (UTF-8). An unreadable
/// file reads as empty; the run reports it when it opens the mailbox for splitting.
std::string readProbeBytes(const std::string &path);

} // namespace tessaly
