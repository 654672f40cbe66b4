#include "mailconverter/render/HeaderBlockPage.h"

#include "mailconverter/textpages/PangoText.h"

#include <cairo-pdf.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>

namespace tessaly {
namespace {

using namespace pangotext;

// The box's padding and border, and its table: cells padded by 1 px, labels at least 14% wide
// with 8pt after them, 9pt text, the subject 10.5pt bold.
constexpr double kPaddingX = 8;
constexpr double kPaddingY = 5;
constexpr double kBorderWidth = 0.75;
constexpr double kCornerRadius = 3;
constexpr double kCellPadding = 0.75;
constexpr double kLabelShare = 0.14;
constexpr double kLabelGap = 8;
constexpr double kTextPoints = 9;
constexpr double kSubjectPoints = 10.5;
constexpr std::uint32_t kTextColour = 0x1a1a1a;
constexpr std::uint32_t kLabelColour = 0x555555;
constexpr std::uint32_t kBackground = 0xf2f4f7;
constexpr std::uint32_t kBorder = 0xd0d5dd;

/// The value of attribute `name` in the tag `tag` ("a href=\"…\""), entities left as they are.
std::string attributeOf(std::string_view tag, std::string_view name)
{
    const std::size_t at = tag.find(std::string(name) + "=\"");
    if (at == std::string_view::npos)
        return {};
    const std::size_t start = at + name.size() + 2;
    const std::size_t end = tag.find('"', start);
    return std::string(tag.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
}

/// `text` with the entities escapeHtml writes, and numeric ones, decoded.
std::string unescaped(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const std::size_t end = text[i] == '&' ? text.find(';', i) : std::string_view::npos;
        if (end == std::string_view::npos || end - i > 10) {
            out += text[i];
            continue;
        }
        const std::string_view entity = text.substr(i + 1, end - i - 1);
        if (entity == "amp")
            out += '&';
        else if (entity == "lt")
            out += '<';
        else if (entity == "gt")
            out += '>';
        else if (entity == "quot")
            out += '"';
        else if (entity == "apos" || entity == "#39")
            out += '\'';
        else if (!entity.empty() && entity[0] == '#') {
            const bool hex = entity.size() > 1 && (entity[1] == 'x' || entity[1] == 'X');
            const gunichar c =
                gunichar(std::strtoul(std::string(entity.substr(hex ? 2 : 1)).c_str(), nullptr, hex ? 16 : 10));
            char utf8[6];
            out.append(utf8, std::size_t(g_unichar_to_utf8(c, utf8)));
        } else {
            out.append(text.substr(i, end - i + 1));
        }
        i = end;
    }
    return out;
}

TextParagraph paragraphOf(std::vector<TextRun> runs)
{
    TextParagraph paragraph;
    paragraph.runs = std::move(runs);
    return paragraph;
}

} // namespace

std::vector<TextRun> runsOfValueHtml(std::string_view html, const TextRun &style)
{
    std::vector<TextRun> runs;
    TextRun current = style;
    const auto flush = [&] {
        if (!current.text.empty())
            runs.push_back(current);
        current.text.clear();
    };
    for (std::size_t pos = 0; pos < html.size();) {
        const std::size_t open = html.find('<', pos);
        current.text +=
            unescaped(html.substr(pos, open == std::string_view::npos ? std::string_view::npos : open - pos));
        if (open == std::string_view::npos)
            break;
        const std::size_t close = html.find('>', open);
        if (close == std::string_view::npos)
            break;
        const std::string_view tag = html.substr(open + 1, close - open - 1);
        pos = close + 1;
        if (tag == "br") {
            current.text += '\n';
            continue;
        }
        flush();
        if (tag.substr(0, 2) == "a ") {
            current.link = unescaped(attributeOf(tag, "href"));
        } else if (tag == "/a") {
            current.link.clear();
        } else if (tag.substr(0, 5) == "span ") {
            const std::string css = attributeOf(tag, "style");
            const std::size_t colour = css.find("color:#");
            if (colour != std::string::npos && colour + 13 <= css.size())
                current.colour = std::uint32_t(std::stoul(css.substr(colour + 7, 6), nullptr, 16));
        } else if (tag == "/span") {
            current.colour = style.colour;
        }
    }
    flush();
    return runs;
}

HeaderBlockPage::HeaderBlockPage(const std::vector<HeaderRow> &rows, double widthPoints, std::string language)
    : m_widthPoints(widthPoints), m_language(std::move(language))
{
    TextRun labelStyle;
    labelStyle.bold = true;
    labelStyle.colour = kLabelColour;
    labelStyle.sizePoints = kTextPoints;
    TextRun valueStyle;
    valueStyle.colour = kTextColour;
    valueStyle.sizePoints = kTextPoints;
    TextRun subjectStyle = valueStyle;
    subjectStyle.bold = true;
    subjectStyle.sizePoints = kSubjectPoints;
    for (const HeaderRow &row : rows) {
        TextRun label = labelStyle;
        label.text = row.label + ":";
        std::vector<TextRun> value = runsOfValueHtml(row.valueHtml, row.isSubject ? subjectStyle : valueStyle);
        if (value.empty())
            value.push_back(row.isSubject ? subjectStyle : valueStyle);
        m_rows.push_back({paragraphOf({label}), paragraphOf(std::move(value))});
    }
    m_heightPoints = walk(nullptr, 0);
}

double HeaderBlockPage::walk(void *drawOn, double boxHeight) const
{
    auto *cr = static_cast<cairo_t *>(drawOn);
    // Measured on a surface of no size when only laying out.
    Surface scratch(cr ? nullptr : cairo_pdf_surface_create_for_stream(nullptr, nullptr, 1, 1));
    Cairo scratchCr(cr ? nullptr : cairo_create(scratch.get()));
    cairo_t *target = cr ? cr : scratchCr.get();
    const Context context = contextFor(target);
    const TextFaces faces(m_language);

    const double tableWidth = m_widthPoints - 2 * kPaddingX;
    std::vector<Layout> labels;
    double labelWidth = tableWidth * kLabelShare;
    for (const Row &row : m_rows) {
        std::vector<LinkSpan> none;
        labels.push_back(layOutParagraph(context.get(), row.label, tableWidth, faces, none));
        PangoRectangle extents;
        pango_layout_get_extents(labels.back().get(), nullptr, &extents);
        labelWidth = std::max(labelWidth, points(extents.width) + kLabelGap + 2 * kCellPadding);
    }
    const double valueX = kPaddingX + labelWidth + kCellPadding;
    const double valueWidth = tableWidth - labelWidth - 2 * kCellPadding;
    const double bottom = cr ? boxHeight - kPaddingY : 0;
    double y = kPaddingY;
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        std::vector<LinkSpan> links;
        const Layout value = layOutParagraph(context.get(), m_rows[i].value, valueWidth, faces, links);
        PangoRectangle labelExtents;
        PangoRectangle valueExtents;
        pango_layout_get_extents(labels[i].get(), nullptr, &labelExtents);
        pango_layout_get_extents(value.get(), nullptr, &valueExtents);
        const double top = y + kCellPadding;
        if (cr) {
            // Lines below the box's cut are left out, as the clip left them out before.
            const auto drawLines = [&](PangoLayout *layout, double x, const std::vector<LinkSpan> &spans) {
                const LayoutIter line(pango_layout_get_iter(layout));
                const char *text = pango_layout_get_text(layout);
                double lineTop = top;
                do {
                    PangoRectangle extents;
                    pango_layout_iter_get_line_extents(line.get(), nullptr, &extents);
                    if (lineTop + points(extents.height) > bottom + 0.01)
                        break;
                    lineTop += drawLine(cr, line.get(), text, spans, x, lineTop);
                } while (pango_layout_iter_next_line(line.get()));
            };
            drawLines(labels[i].get(), kPaddingX + kCellPadding, {});
            drawLines(value.get(), valueX, links);
        }
        y = top + std::max(points(labelExtents.height), points(valueExtents.height)) + kCellPadding;
    }
    return y + kPaddingY;
}

Result<QByteArray> HeaderBlockPage::pdf(double pageWidth, double pageHeight, double boxHeight) const
{
    QByteArray pdf;
    Surface surface(cairo_pdf_surface_create_for_stream(appendToBytes, &pdf, pageWidth, pageHeight));
    cairo_pdf_surface_set_metadata(surface.get(), CAIRO_PDF_METADATA_CREATOR, "Tessaly");
    Cairo cr(cairo_create(surface.get()));
    // The box, inset by half its border so that the border stays inside it.
    const double inset = kBorderWidth / 2;
    const double x = inset;
    const double y = inset;
    const double width = m_widthPoints - 2 * inset;
    const double height = boxHeight - 2 * inset;
    const double r = kCornerRadius;
    cairo_new_sub_path(cr.get());
    cairo_arc(cr.get(), x + width - r, y + r, r, -M_PI / 2, 0);
    cairo_arc(cr.get(), x + width - r, y + height - r, r, 0, M_PI / 2);
    cairo_arc(cr.get(), x + r, y + height - r, r, M_PI / 2, M_PI);
    cairo_arc(cr.get(), x + r, y + r, r, M_PI, 3 * M_PI / 2);
    cairo_close_path(cr.get());
    setColour(cr.get(), kBackground);
    cairo_fill_preserve(cr.get());
    setColour(cr.get(), kBorder);
    cairo_set_line_width(cr.get(), kBorderWidth);
    cairo_stroke(cr.get());
    walk(cr.get(), boxHeight);
    cr.reset();
    cairo_surface_finish(surface.get());
    if (const cairo_status_t status = cairo_surface_status(surface.get()); status != CAIRO_STATUS_SUCCESS)
        return Error{std::string("cannot write the header block: ") + cairo_status_to_string(status),
                     FailureKind::RenderFailed};
    return pdf;
}

} // namespace tessaly
