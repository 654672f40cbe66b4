#include "mailconverter/pdf/CMapScanner.h"

#include <cctype>

namespace tessaly {

std::optional<CMapToken> CMapScanner::next()
{
    if (m_position >= m_cmap.size())
        return std::nullopt;
    const std::size_t start = m_position;
    const char c = m_cmap[start];
    CMapToken token;
    if (c == '<') {
        const std::size_t end = m_cmap.find('>', start);
        if (end == std::string_view::npos)
            return std::nullopt; // left unread: rest() holds it
        token.kind = CMapToken::Kind::Hex;
        token.hex = m_cmap.substr(start + 1, end - start - 1);
        m_position = end + 1;
    } else if (std::isalpha(static_cast<unsigned char>(c))) {
        std::size_t end = start;
        while (end < m_cmap.size() && std::isalpha(static_cast<unsigned char>(m_cmap[end])))
            ++end;
        token.kind = CMapToken::Kind::Keyword;
        m_position = end;
        const std::string_view word = m_cmap.substr(start, end - start);
        if (word == "beginbfchar")
            m_section = CMapSection::Chars;
        else if (word == "beginbfrange")
            m_section = CMapSection::Ranges;
        else if (word == "endbfchar" || word == "endbfrange")
            m_section = CMapSection::None;
    } else {
        token.kind = c == '['   ? CMapToken::Kind::ListOpen
                     : c == ']' ? CMapToken::Kind::ListClose
                                : CMapToken::Kind::Other;
        m_position = start + 1;
    }
    token.text = m_cmap.substr(start, m_position - start);
    return token;
}

} // namespace tessaly
