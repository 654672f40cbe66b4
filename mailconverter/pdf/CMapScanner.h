// Reads a ToUnicode CMap's text token by token, knowing which section each token lies in.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace tessaly {

/// The part of a ToUnicode CMap whose entries a token belongs to.
enum class CMapSection
{
    None,
    Chars, ///< between beginbfchar and endbfchar: pairs of code and destination
    Ranges ///< between beginbfrange and endbfrange: first code, last code, destination or [list]
};

struct CMapToken
{
    enum class Kind
    {
        Hex,       ///< <…>, a code or a destination
        ListOpen,  ///< [
        ListClose, ///< ]
        Keyword,   ///< a run of letters, such as beginbfchar
        Other      ///< any other single character
    };
    Kind kind = Kind::Other;
    std::string_view text; ///< as written; a Hex token with its angle brackets
    std::string_view hex;  ///< a Hex token's digits
};

/// Splits a CMap into the tokens the text-map repairs care about. The section follows the
/// keywords that open and close bfchar and bfrange sections.
class CMapScanner
{
public:
    explicit CMapScanner(std::string_view cmap) : m_cmap(cmap) {}

    /// The next token; nullopt at the end, or at a hex string that is never closed.
    std::optional<CMapToken> next();

    /// What next() has not read: empty at the end, or from an unclosed hex string on.
    std::string_view rest() const { return m_cmap.substr(m_position); }

    /// The section the text has reached: after "beginbfchar", Chars, until "endbfchar".
    CMapSection section() const { return m_section; }

private:
    std::string_view m_cmap;
    std::size_t m_position = 0;
    CMapSection m_section = CMapSection::None;
};

} // namespace tessaly
