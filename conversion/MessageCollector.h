// Gathers the text of the message in hand and hands each finished message to a sink.
#pragma once

#include "conversion/MessageText.h"
#include "support/Sha256.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace tessaly {

/// One message as split off a mailbox: its text with every line break as CR LF, each line
/// ended by one (the message file adds one more CR LF). Valid only during the call.
struct SplitMessage
{
    /// The whole text; for a message too long to hold in memory, only its start.
    std::string_view text;
    /// For a message too long to hold in memory: the file holding its whole text. The sink may
    /// move the file away to keep it.
    PendingFile *textFile = nullptr;
    /// Why the text could not be written to its file; the message is then incomplete.
    const Error *textError = nullptr;
    /// Where the message starts in the mailbox, in bytes from its beginning.
    std::uint64_t offset = 0;
    /// How many bytes of the mailbox it takes, up to the next separator or the end; 0 when
    /// not known (a message cut short by a read error).
    std::uint64_t length = 0;
    /// The SHA-256 of those `length` bytes of the mailbox, as they were (line breaks as they
    /// stand there), in lower-case hex; empty when `length` is not known.
    std::string sha256;
    /// What the reading of the mailbox has to say of the message, for its warnings; "" for
    /// nothing.
    std::string_view note;
};

/// Receives every finished message, in mailbox order.
using MessageSink = std::function<void(const SplitMessage &)>;

/// What both splitting modes share: the message in hand, the rule for text before the first
/// separator, and the end-of-mailbox rule. The splitters only decide where lines and
/// separators are.
///
/// - Text before the first separator becomes a message of its own when it holds anything but
///   white space (a single message saved without its "From " line still converts); blank
///   text there is dropped.
/// - The last message gets a final CR LF when the mailbox does not end in a line break, so
///   every message text ends with one.
///
/// The splitters hand over every byte of the mailbox exactly once, in order, so the collector
/// hashes each message's bytes as they pass: the mailbox is never read a second time.
class MessageCollector
{
public:
    /// `spill`: where a message too long to hold in memory goes on.
    explicit MessageCollector(MessageSink sink, SpillFiles spill = {});

    /// A separator line starts at `offset`: finishes the message in hand, if any.
    void beginMessage(std::uint64_t offset);
    /// Appends bytes of the current line (no line breaks among them).
    void append(std::string_view bytes);
    /// Ends the current line with CR LF; `rawBreak` is the line break as the mailbox has it
    /// (CR LF, CR or LF; empty for a last line that has none, or the CR of a pair cut in two).
    void appendLineBreak(std::string_view rawBreak);
    /// The LF of a CR LF pair that the end of a piece cut off its CR: it belongs to the line
    /// already ended, so it is only hashed.
    void appendRestOfLineBreak(std::string_view rawBytes);
    /// The bytes handed over so far may change from now on: call before the piece (or line
    /// buffer) they lie in is reused. Until then, bytes that follow each other in memory are
    /// hashed as one run.
    void endOfPiece();
    /// End of the mailbox (or of the range read), `endOffset` bytes from the mailbox's start:
    /// finishes the message in hand, if any.
    void finish(std::uint64_t endOffset);

    /// The message being collected, as it would be finished now; nullopt when there is none
    /// (nothing collected, or only blank text before the first separator). For keeping what
    /// was read when the rest of the mailbox cannot be.
    std::optional<SplitMessage> messageInHand();

    /// How many messages went to the sink.
    int finishedCount() const { return m_finishedCount; }

private:
    void finishCurrent(bool atEnd, std::uint64_t endOffset);
    void startNewText();
    void hashRaw(std::string_view bytes);
    SplitMessage currentMessage(std::uint64_t length, std::string sha256);

    MessageText m_text;
    MessageSink m_sink;
    Sha256 m_hash;
    /// Raw bytes handed over and not yet hashed, all adjacent in memory.
    std::string_view m_unhashed;
    std::uint64_t m_messageOffset = 0;
    int m_finishedCount = 0;
    bool m_beforeFirstSeparator = true;
    bool m_preambleHasText = false;
    bool m_endsWithLineBreak = false;
};

} // namespace tessaly
