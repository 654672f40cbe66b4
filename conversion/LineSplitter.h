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
    explicit LineSplitter(MessageCollector &collector, std::uint64_t firstOffset = 0);

    /// Reads the next piece of the mailbox.
    void feed(std::string_view bytes);
    /// End of the mailbox: takes a last line that has no line break, and finishes the message.
    void finish();

private:
    /// `rawBreak`: the line's break as the mailbox has it; empty for a last line without one.
    void takeLine(std::string_view line, std::uint64_t offset, std::string_view rawBreak);

    MessageCollector &m_collector;
    /// The start of a line cut by the end of a piece; only ever one line.
    std::string m_partialLine;
    std::uint64_t m_partialOffset = 0;
    std::uint64_t m_consumed = 0;
    bool m_hasPartialLine = false;
    LineBreakStepper m_lineBreaks;
};

} // namespace tessaly
