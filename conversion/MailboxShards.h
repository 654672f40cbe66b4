// Dividing a run's mailboxes between N processes, so that together they do all of it once.
#pragma once

#include "conversion/MailboxFileReader.h"
#include "support/Result.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly {

/// Share `index` of `count` (0 <= index < count).
struct ShardChoice
{
    int index = 0;
    int count = 1;
};

/// Parses "K/N" with 0 <= K < N.
std::optional<ShardChoice> parseShardChoice(std::string_view text);

struct MailboxFile
{
    std::string path;
    std::uint64_t size = 0;
};

/// One piece of work: a whole mailbox, or (`range` set) a byte range of a large one, not yet
/// moved to message boundaries (see alignToSeparators).
struct MailboxWork
{
    std::string path;
    std::optional<ByteRange> range;
};

/// The work of shard `shard`. The mailboxes are put in a stable order (path, then size), so
/// every process that sees the same files computes the same division. A mailbox larger than
/// `splitOver` bytes is cut into ceil(size / splitOver) equal ranges. The pieces go, in that
/// order, each to the shard with the fewest bytes so far (the lowest-numbered on a tie).
std::vector<MailboxWork> shardWork(std::vector<MailboxFile> mailboxes, ShardChoice shard, std::uint64_t splitOver);

/// The position of the first separator ("From " at the start of a line: at byte 0 when
/// `startsMailbox`, else after CR or LF) at or after `from` in `bytes`, lying wholly inside
/// them; npos when there is none.
std::size_t separatorAtOrAfter(std::string_view bytes, std::size_t from, bool startsMailbox);

/// Moves a byte range of the mailbox at `path` to message boundaries: its start to the first
/// separator at or after it (a range from 0 keeps 0), its end likewise (or the file's end).
/// Ranges that meet before alignment still meet after it, so each message falls in exactly one.
Result<ByteRange> alignToSeparators(const std::string &path, ByteRange range);

} // namespace tessaly
