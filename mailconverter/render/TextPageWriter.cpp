#include "mailconverter/render/TextPageWriter.h"

#include "mailconverter/html/PlainTextHtml.h"
#include "mailconverter/render/PangoText.h"

#include <cairo-pdf.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <utility>

namespace tessaly {
namespace {

using namespace pangotext;

constexpr double kQuoteBarWidthPoints = 1.5; // 2 CSS pixels, as on the web engine's page

std::uint32_t colourOf(std::string_view hex)
{
    return hex.size() == 7 ? std::uint32_t(std::stoul(std::string(hex.substr(1)), nullptr, 16)) : 0;
}

} // namespace

TextPageWriter::TextPageWriter(TextPageGeometry geometry, std::string language)
    : m_geometry(geometry), m_language(std::move(language))
{
}

Result<QByteArray> TextPageWriter::write(const std::vector<TextParagraph> &paragraphs, const TextPageLimit *limit,
                                         bool *cut, std::vector<TextPlacement> *placements) const
{
    const TextPageGeometry &page = m_geometry;
    QByteArray pdf;
    Surface surface(cairo_pdf_surface_create_for_stream(appendToBytes, &pdf, page.widthPoints, page.heightPoints));
    cairo_pdf_surface_set_metadata(surface.get(), CAIRO_PDF_METADATA_CREATOR, "Tessaly");
    Cairo cr(cairo_create(surface.get()));
    const Context context = contextFor(cr.get());

    const TextFaces faces(m_language);

    const double columnWidth = page.widthPoints - page.leftPoints - page.rightPoints;
    const double bottom = page.heightPoints - page.bottomPoints;
    double y = page.topPoints + page.firstPageReservedPoints;
    bool pageHasLines = false;
    int pageNumber = 1;
    bool isCut = false;
    // The last page keeps the notice's room whether or not the text ends there.
    const auto bottomOf = [&](int number) {
        return limit && number >= limit->pages ? bottom - limit->noticePoints : bottom;
    };
    if (placements)
        placements->assign(paragraphs.size(), TextPlacement{});
    std::size_t paragraphIndex = 0;
    for (const TextParagraph &paragraph : paragraphs) {
        if (isCut)
            break;
        TextPlacement *placement = placements ? &(*placements)[paragraphIndex++] : nullptr;
        std::vector<LinkSpan> links;
        const Layout layout =
            layOutParagraph(context.get(), paragraph, columnWidth - paragraph.indentPoints, faces, links);
        const char *text = pango_layout_get_text(layout.get());
        if (pageHasLines)
            y += paragraph.spaceBeforePoints;
        const double layoutX = page.leftPoints + paragraph.indentPoints;
        const LayoutIter line(pango_layout_get_iter(layout.get()));
        do {
            PangoRectangle extents;
            pango_layout_iter_get_line_extents(line.get(), nullptr, &extents);
            const double height = points(extents.height);
            if (pageHasLines && y + height > bottomOf(pageNumber)) {
                if (limit && pageNumber >= limit->pages) {
                    isCut = true;
                    break;
                }
                cairo_show_page(cr.get());
                ++pageNumber;
                y = page.topPoints;
                pageHasLines = false;
            }
            for (int level = 1; level <= paragraph.quoteLevel; ++level) {
                const auto colour = kQuoteColours[std::size_t(level - 1) % std::size(kQuoteColours)];
                setColour(cr.get(), colourOf(colour));
                cairo_rectangle(cr.get(), page.leftPoints + kQuoteIndentPt * (level - 1), y, kQuoteBarWidthPoints,
                                height);
                cairo_fill(cr.get());
            }
            if (placement && (placement->page < 0 || placement->page == pageNumber - 1)) {
                // Only the first page's lines: a box that spans pages has no one /Rect.
                const double left = layoutX + points(extents.x);
                const double right = left + points(extents.width);
                const double top = page.heightPoints - y;
                const double lineBottom = top - height;
                if (placement->page < 0)
                    *placement = TextPlacement{pageNumber - 1, left, lineBottom, right, top};
                placement->left = std::min(placement->left, left);
                placement->right = std::max(placement->right, right);
                placement->bottom = std::min(placement->bottom, lineBottom);
            }
            drawLine(cr.get(), line.get(), text, links, layoutX, y);
            y += height;
            pageHasLines = true;
        } while (pango_layout_iter_next_line(line.get()));
    }
    if (cut)
        *cut = isCut;
    cr.reset();
    cairo_surface_finish(surface.get());
    if (const cairo_status_t status = cairo_surface_status(surface.get()); status != CAIRO_STATUS_SUCCESS)
        return Error{std::string("cannot write the text page: ") + cairo_status_to_string(status)};
    return pdf;
}

} // namespace tessaly
