// The header block's box drawn with Pango and Cairo, as a PDF page of its own.
#pragma once

#include "mailconverter/html/HeaderBlockHtml.h"
#include "mailconverter/textpages/TextPageWriter.h"
#include "support/Result.h"

#include <QByteArray>

#include <string>
#include <string_view>
#include <vector>

namespace tessaly {

/// The runs of a header row's value (HeaderMarkup::Simple): its text with entities decoded,
/// <br> as a line break, links (<a href>) and coloured spans kept, in `style` otherwise.
std::vector<TextRun> runsOfValueHtml(std::string_view html, const TextRun &style);

/// The header block's rows laid out as a two-column table (bold grey labels, values that
/// wrap, the subject larger and bold) inside a rounded box, `widthPoints` wide.
class HeaderBlockPage
{
public:
    /// `language` is the page's BCP 47 tag (TextPageWriter), or empty.
    HeaderBlockPage(const std::vector<HeaderRow> &rows, double widthPoints, std::string language);

    /// The box's height in points, padding included.
    double heightPoints() const { return m_heightPoints; }

    /// A PDF page `pageWidth` × `pageHeight` points with the box at its top-left corner, cut
    /// at `boxHeight` points (the rows below are left out).
    Result<QByteArray> pdf(double pageWidth, double pageHeight, double boxHeight) const;

private:
    struct Row
    {
        TextParagraph label;
        TextParagraph value;
    };

    /// Lays out or draws (when `cr` is given) the rows; returns the box's height.
    double walk(void *cr, double boxHeight) const;

    std::vector<Row> m_rows;
    double m_widthPoints = 0;
    std::string m_language;
    double m_heightPoints = 0;
};

} // namespace tessaly
