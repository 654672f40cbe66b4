// The mailbox reader: chooses a split mode for a mailbox and feeds its bytes to that splitter.
#pragma once

#include "conversion/BlockSplitter.h"
#include "conversion/LineSplitter.h"
#include "conversion/MailboxFileReader.h"
#include "conversion/MessageCollector.h"
#include "support/Result.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace tessaly {

/// How a mailbox is cut into messages; Line and Block give the same messages. Whole never
/// cuts: the input is one message file (of a Maildir or an .eml folder), read as one message
/// even where a body line starts with "From ".
enum class SplitMode
{
    Line,
    Block,
    Whole
};

/// The one loop that cuts a mailbox into messages, shared by the run, the benchmark, the
/// tests and the fuzz target. Bytes may be fed in pieces of any size; each finished message
/// goes to the sink once, in mailbox order, with its text, place and digest.
///
/// The reader holds the message in hand and the splitter; it is neither copied nor moved.
class MailboxReader
{
public:
    /// The probe: the split mode for the mailbox file at `FileName` (block mode when a line
    /// feed is among its first kProbeSize bytes). An unreadable file reads in line mode.
    static SplitMode ReadMBOXFile(const std::string &FileName);
    /// The same probe over the mailbox's first bytes, read already.
    static SplitMode splitModeOf(std::string_view firstBytes);

    /// `firstOffset`: where in the mailbox the first byte fed lies (a range read on its own).
    /// `spill`: where a message too long to hold in memory goes on.
    /// `blockSize`: the blocks block mode cuts what it is fed into.
    MailboxReader(SplitMode mode, MessageSink sink, std::uint64_t firstOffset = 0, SpillFiles spill = {},
                  std::size_t blockSize = BlockSplitter::kBlockSize);
    MailboxReader(const MailboxReader &) = delete;
    MailboxReader &operator=(const MailboxReader &) = delete;

    /// Splits the next piece of the mailbox.
    void feed(std::string_view bytes);
    /// End of the mailbox: finishes the message in hand.
    void finish();

    /// Reads `file` to its end and finishes, calling `progressed` with the bytes read after
    /// each chunk. A read error ends the reading and is returned; the messages before it went
    /// to the sink, and the one cut short is `messageInHand`. When `stop` says so after a
    /// chunk, the reading ends there, unfinished.
    Result<void> readToEnd(MailboxFileReader &file, const std::function<void(std::uint64_t)> &progressed = {},
                           const std::function<bool()> &stop = {});

    /// The message being collected; see MessageCollector::messageInHand.
    std::optional<SplitMessage> messageInHand() { return m_collector.messageInHand(); }
    /// How many messages went to the sink.
    int finishedCount() const { return m_collector.finishedCount(); }

private:
    /// The block-mode step: one block of the mailbox to the block splitter.
    void SaveMBOXFile(std::string_view mboxFileText);

    MessageCollector m_collector;
    std::size_t m_blockSize;
    std::variant<LineSplitter, BlockSplitter> m_splitter;
};

} // namespace tessaly
