// Line mode: cuts a mailbox into messages line by line.
#include "LineSplitter.h"

#include "LineBreakFinder.h"

namespace tessaly {
namespace {

/// A line longer than this gives its room back once taken, so one huge line does not keep
/// its memory for the rest of the mailbox.
constexpr std::size_t kKeptLineRoom = 1 << 20;

} // namespace

LineSplitter::LineSplitter(MessageCollector &collector, std::uint64_t firstOffset)
    : m_collector(collector), m_consumed(firstOffset)
{
}

void LineSplitter::feed(std::string_view bytes)
{
    const std::size_t size = bytes.size();
    std::size_t position = 0;
    if (m_afterCarriageReturn && size > 0) {
        // The LF of a CR LF pair that the previous piece cut in two.
        if (bytes[0] == '\n')
            position = 1;
        m_afterCarriageReturn = false;
    }

    LineBreakFinder finder(bytes);
    while (position < size) {
        const std::size_t lineBreak = finder.next(position);
        if (lineBreak == size) {
            if (!m_hasPartialLine) {
                m_partialOffset = m_consumed + position;
                m_hasPartialLine = true;
            }
            m_partialLine.append(bytes.substr(position));
            break;
        }
        if (m_hasPartialLine) {
            m_partialLine.append(bytes.substr(position, lineBreak - position));
            takeLine(m_partialLine, m_partialOffset);
        } else {
            takeLine(bytes.substr(position, lineBreak - position), m_consumed + position);
        }

        if (bytes[lineBreak] == '\r') {
            if (lineBreak + 1 == size) {
                m_afterCarriageReturn = true;
                position = size;
            } else {
                position = lineBreak + (bytes[lineBreak + 1] == '\n' ? 2 : 1);
            }
        } else {
            position = lineBreak + 1;
        }
    }
    m_consumed += size;
}

void LineSplitter::finish()
{
    if (m_hasPartialLine)
        takeLine(m_partialLine, m_partialOffset);
    m_afterCarriageReturn = false;
    m_collector.finish(m_consumed);
}

void LineSplitter::takeLine(std::string_view line, std::uint64_t offset)
{
    if (isSeparatorLine(line))
        m_collector.beginMessage(offset);
    m_collector.append(line);
    m_collector.appendLineBreak();
    if (m_hasPartialLine) {
        m_hasPartialLine = false;
        if (m_partialLine.capacity() > kKeptLineRoom)
            std::string().swap(m_partialLine);
        else
            m_partialLine.clear();
    }
}

} // namespace tessaly
