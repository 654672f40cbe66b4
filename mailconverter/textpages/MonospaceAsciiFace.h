// Lines of printable ASCII in the monospaced face, broken and drawn as Pango would, without shaping.
#pragma once

#include "mailconverter/textpages/PangoText.h"

#include <array>
#include <optional>
#include <string_view>
#include <vector>

namespace tessaly::pangotext {

/// One line of a paragraph: its bytes [start, start + length), whether Pango ends it with a
/// hyphen (a word broken inside), and whether its last character is a space Pango hides (the
/// space a wrapped line ends with takes no room and draws nothing).
struct AsciiLine
{
    int start = 0;
    int length = 0;
    bool hyphen = false;
    bool hiddenFinalSpace = false;
};

/// What Pango does with printable ASCII (U+0020 to U+007E) in one monospaced style, learnt
/// once by laying out every such character through Pango: the face it picks, each character's
/// glyph, the one advance they share, the hyphen of a broken word and the height of a line.
/// With those, lines of such text skip itemizing and shaping, which cost most of the time
/// of a long plain message. TextPageWriterTest proves the pages are the same.
class MonospaceAsciiFace
{
public:
    /// The face of `style` (its size and weight) in `faces`, or nullopt when Pango does not
    /// draw all of printable ASCII from one face, glyph by glyph, at one advance: such text
    /// takes the general path.
    static std::optional<MonospaceAsciiFace> learn(PangoContext *context, const TextRun &style, const TextFaces &faces);

    MonospaceAsciiFace(MonospaceAsciiFace &&other) noexcept;
    MonospaceAsciiFace &operator=(MonospaceAsciiFace &&other) noexcept;
    MonospaceAsciiFace(const MonospaceAsciiFace &) = delete;
    MonospaceAsciiFace &operator=(const MonospaceAsciiFace &) = delete;
    ~MonospaceAsciiFace();

    /// Whether `text` is all printable ASCII (no tab, whose width depends on where it falls).
    static bool isPrintableAscii(std::string_view text);

    /// `text` (printable ASCII) broken into lines `width` points wide where Pango breaks it
    /// with PANGO_WRAP_WORD_CHAR: at the last opportunity that fits (Pango's own), the space
    /// a line ends with not counted; inside a word, with a hyphen where Pango adds one, only
    /// when no opportunity fits. Empty when not even one character fits a line.
    std::vector<AsciiLine> lines(std::string_view text, double width, PangoLanguage *language) const;

    /// A line's height and its baseline below its top, in points; an empty paragraph's line
    /// has the same.
    double lineHeight() const { return m_lineHeight; }
    double baselineOffset() const { return m_baselineOffset; }

    /// Draws `line` of `text` with its left edge at `x` and its baseline at `baseline`, in
    /// `colour` (0xRRGGBB), with the same glyphs, places and text map as Pango's run.
    void draw(cairo_t *cr, std::string_view text, const AsciiLine &line, double x, double baseline,
              std::uint32_t colour) const;

private:
    static constexpr char kFirst = ' ';
    static constexpr char kLast = '~';

    MonospaceAsciiFace() = default;

    PangoFont *m_font = nullptr; ///< holds the scaled font alive; one reference owned
    cairo_scaled_font_t *m_scaledFont = nullptr;
    std::array<PangoGlyph, kLast - kFirst + 1> m_glyphs{};
    int m_advance = 0; ///< Pango units
    PangoGlyph m_hyphenGlyph = PANGO_GLYPH_EMPTY;
    int m_hyphenAdvance = 0; ///< Pango units
    double m_lineHeight = 0;
    double m_baselineOffset = 0;
};

} // namespace tessaly::pangotext
