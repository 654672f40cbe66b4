// Draws paragraphs of styled text onto PDF pages with Pango (shaping, fonts) and Cairo (the PDF).
#pragma once

#include "support/Result.h"

#include <QByteArray>
#include <QImage>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tessaly {

/// A stretch of one paragraph in one style.
struct TextRun
{
    std::string text; ///< UTF-8; a line feed in it breaks the line within the paragraph
    bool monospace = false;
    bool bold = false;
    bool italic = false;
    std::uint32_t colour = 0x1a1a1a; ///< 0xRRGGBB
    double sizePoints = 9.5;
    std::string link; ///< the URI the run's text links to, or empty
};

/// Runs laid out together, wrapped at the column's edge (inside a word when the word is wider
/// than the line); a paragraph whose first strong character is right to left runs right to
/// left and is set flush right.
struct TextParagraph
{
    std::vector<TextRun> runs;
    int quoteLevel = 0;      ///< one bar per level at the left of each line, in kQuoteColours
    double indentPoints = 0; ///< from the column's left edge
    double spaceBeforePoints = 0;
    /// Where text after a tab starts, from the indent; lines after the first start there too,
    /// so that a label and its value stand side by side (a line feed starts over at the
    /// indent: give each line of the value a paragraph of its own). 0 for none.
    double hangingPoints = 0;
    /// Fills the paragraph's lines across the column from the indent (and the space before
    /// it, when the paragraph before has the same fill), 0xRRGGBB.
    std::optional<std::uint32_t> background;
    /// A rule across the column above the paragraph, below its space before, with
    /// kRuleGapPoints of room under it.
    bool ruleAbove = false;
    /// When not null, the paragraph is this image, not its runs: drawn at 0.75 pt a pixel,
    /// scaled down to fit the column's width and a page's height, on the next page when
    /// the room left on this one is too short.
    QImage image;
    /// The image's JPEG file, when `image` was decoded from it at its own size: written to
    /// the PDF as it is.
    QByteArray imageJpeg;
};

/// Room below a paragraph's rule, in points.
inline constexpr double kRuleGapPoints = 8;

/// A page and its column, in points.
struct TextPageGeometry
{
    double widthPoints = 595.28;
    double heightPoints = 841.89;
    double leftPoints = 42.52;
    double topPoints = 42.52;
    double rightPoints = 42.52;
    double bottomPoints = 42.52;
    double firstPageReservedPoints = 0; ///< kept free at the top of page 1's column
};

/// How many pages the text may fill, and the room a notice of the cut needs at the foot of
/// the last one.
struct TextPageLimit
{
    int pages = 1;
    double noticePoints = 0;
};

/// Where a paragraph landed: the page its first line is on (from 0; -1 for a paragraph left
/// out by a limit) and the box around its lines on that page, in PDF points from the page's
/// bottom left corner, as an annotation's /Rect wants it.
struct TextPlacement
{
    int page = -1;
    double left = 0;
    double bottom = 0;
    double right = 0;
    double top = 0;
};

/// Which lines go through Pango's shaping.
enum class LineShaping
{
    /// Paragraphs of printable ASCII in one monospaced run without a link skip it: they are
    /// broken and drawn as Pango would (MonospaceAsciiFace), the same page in less time.
    AsciiFastPath,
    /// Every paragraph is laid out by Pango; for showing that the fast path changes nothing.
    Always,
};

/// Lays each paragraph out with Pango in a PangoLayout of its own (one layout of many
/// paragraphs takes quadratic time) and draws its lines into a Cairo PDF, moving to a new page
/// where the next line would cross the column's bottom, so lines are never cut. Pango picks
/// each run's face through fontconfig from the families of ScriptFonts, with the face of
/// `language` first, and hinting off so advances are not rounded. Each base letter and its
/// combining marks are written as one cluster, so that vowelled Arabic, pointed Hebrew and
/// Thai come back from a PDF's text layer as typed; fonts are embedded as TrueType or CID
/// subsets, never as Type 3. Emoji come from Symbola's outlines where preferOutlineEmoji()
/// ran before fontconfig was first used.
class TextPageWriter
{
public:
    /// `language` is a BCP 47 tag ("ar", "zh-TW", "ja"); empty means none in particular.
    TextPageWriter(TextPageGeometry geometry, std::string language, LineShaping shaping = LineShaping::AsciiFastPath);

    /// The PDF of `paragraphs`, at least one page. Fails only when Cairo cannot write it. With
    /// a `limit`, the text stops at the last whole line of its last page that leaves the
    /// notice's room free, and `*cut` (when given) says whether any text was left out.
    /// `placements`, when given, receives one TextPlacement per paragraph, in their order.
    Result<QByteArray> write(const std::vector<TextParagraph> &paragraphs, const TextPageLimit *limit = nullptr,
                             bool *cut = nullptr, std::vector<TextPlacement> *placements = nullptr) const;

    /// The height, in points, of `paragraphs` laid out in one column of no page breaks.
    double heightOf(const std::vector<TextParagraph> &paragraphs) const;

private:
    TextPageGeometry m_geometry;
    std::string m_language;
    LineShaping m_shaping;
};

} // namespace tessaly
