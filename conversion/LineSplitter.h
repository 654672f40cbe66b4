// Line mode: cuts a mailbox into messages line by line.
#pragma once

#include "conversion/LineBreakFinder.h"
#include "conversion/MessageCollector.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace tessaly {

/// Reads a mailbox as lines and starts a message at every line that begins with "From ".
/// A line ends at CR, LF or CR LF (also when the pair is split between two `feed` calls);
/// each line goes into the message followed by CR LF. The mailbox may be fed in pieces of any
/// size: the messages do not depend on where the pieces are cut.
class LineSplitter
{
public:
    /// `firstOffset`: where in the mailbox the first byte fed lies (a range read on its own).
    /// `cutsAtSeparators` false: the whole input is one message, "From " lines and all (a
    /// message file of a Maildir or an .eml folder).
    explicit LineSplitter(MessageCollector &collector, std::uint64_t firstOffset = 0, bool cutsAtSeparators = true);

    /// Reads the next piece of the mailbox.
    void feed(std::string_view bytes);
    /// End of the mailbox: takes a last line that has no line break, and finishes the message.
    void finish();

private:
    /// Bytes of a line that the end of a piece cuts, `offset` bytes into the mailbox.
    void takeCutLine(std::string_view text, std::uint64_t offset);
    /// Hands a line's first bytes, after any held start, to the collector, beginning a message
    /// when they make a separator.
    void openLine(std::string_view text, std::uint64_t offset);

    MessageCollector &m_collector;
    /// The start of a line cut by the end of a piece, while it is too short to tell whether
    /// the line is a separator.
    std::string m_lineStart;
    std::uint64_t m_lineStartOffset = 0;
    /// Whether a line's first bytes have gone to the collector and its break is yet to come.
    bool m_lineOpen = false;
    std::uint64_t m_consumed = 0;
    bool m_cutsAtSeparators = true;
    LineBreakStepper m_lineBreaks;
};

} // namespace tessaly
