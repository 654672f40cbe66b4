// Finds the line breaks (CR LF, CR or LF) in mailbox bytes that arrive in pieces.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string_view>

namespace tessaly {

/// Remembers where the next CR and the next LF lie, so that a text with only one kind of line
/// end is searched with one memchr pass per line instead of two.
class LineBreakFinder
{
public:
    explicit LineBreakFinder(std::string_view bytes) : m_bytes(bytes) {}

    /// The index of the first CR or LF at or after `from`, or the span's size when there is none.
    std::size_t next(std::size_t from)
    {
        if (!m_lineFeedKnown || m_lineFeed < from) {
            m_lineFeed = find(from, '\n');
            m_lineFeedKnown = true;
        }
        if (!m_carriageReturnKnown || m_carriageReturn < from) {
            m_carriageReturn = find(from, '\r');
            m_carriageReturnKnown = true;
        }
        return std::min(m_lineFeed, m_carriageReturn);
    }

private:
    std::size_t find(std::size_t from, char c) const
    {
        if (from >= m_bytes.size())
            return m_bytes.size();
        const void *hit = std::memchr(m_bytes.data() + from, c, m_bytes.size() - from);
        return hit ? static_cast<std::size_t>(static_cast<const char *>(hit) - m_bytes.data()) : m_bytes.size();
    }

    std::string_view m_bytes;
    std::size_t m_lineFeed = 0;
    std::size_t m_carriageReturn = 0;
    bool m_lineFeedKnown = false;
    bool m_carriageReturnKnown = false;
};

/// Steps over line breaks in text that arrives in pieces: CR LF, a lone CR and a lone LF each
/// end one line, and a CR LF pair that a piece boundary cuts in two is still one line break.
class LineBreakStepper
{
public:
    /// Where the text of a new piece starts: past its first byte when that is the LF of a
    /// pair the last piece cut.
    std::size_t start(std::string_view piece)
    {
        if (!m_afterCarriageReturn || piece.empty())
            return 0;
        m_afterCarriageReturn = false;
        return piece[0] == '\n' ? 1 : 0;
    }

    /// The position just past the line break at `lineBreak` in `piece`.
    std::size_t past(std::string_view piece, std::size_t lineBreak)
    {
        if (piece[lineBreak] != '\r')
            return lineBreak + 1;
        if (lineBreak + 1 == piece.size()) {
            m_afterCarriageReturn = true; // the LF, if any, comes with the next piece
            return piece.size();
        }
        return lineBreak + (piece[lineBreak + 1] == '\n' ? 2 : 1);
    }

    /// Forgets a CR that ended the last piece, at the end of the text.
    void finish() { m_afterCarriageReturn = false; }

private:
    bool m_afterCarriageReturn = false;
};

/// True when `line` begins with the mbox separator "From " (case-sensitive, blank fifth).
inline bool isSeparatorLine(std::string_view line)
{
    return line.size() >= 5 && std::memcmp(line.data(), "From ", 5) == 0;
}

} // namespace tessaly
