#include "mailconverter/bundle/PageStamps.h"

#include "mailconverter/textpages/PangoText.h"

#include <cairo-pdf.h>

#include <algorithm>

namespace tessaly {
namespace {

using namespace pangotext;

constexpr double kStampPoints = 8;
constexpr std::uint32_t kStampColour = 0x1a1a1a;

enum class Place
{
    Centre,
    Right
};

void drawStamp(cairo_t *cr, PangoContext *context, const TextFaces &faces, const PageStamp &stamp,
               const std::string &text, Place place)
{
    if (text.empty())
        return;
    TextParagraph paragraph;
    TextRun run;
    run.text = text;
    run.sizePoints = kStampPoints;
    run.colour = kStampColour;
    paragraph.runs.push_back(std::move(run));
    std::vector<LinkSpan> links;
    // As wide as the page, so that it never wraps.
    const Layout layout = layOutParagraph(context, paragraph, stamp.widthPoints, faces, links);
    PangoRectangle logical;
    pango_layout_get_extents(layout.get(), nullptr, &logical);
    const double width = points(logical.width);
    const double height = points(logical.height);
    const double x = place == Place::Centre ? (stamp.widthPoints - width) / 2
                                            : stamp.widthPoints - PageStamps::kRightInsetPoints - width;
    const double top = stamp.heightPoints - PageStamps::kFootPoints - height;
    const LayoutIter line(pango_layout_get_iter(layout.get()));
    drawLine(cr, line.get(), pango_layout_get_text(layout.get()), links, std::max(0.0, x) - points(logical.x), top);
}

} // namespace

Result<QByteArray> PageStamps::draw(const std::vector<PageStamp> &stamps)
{
    QByteArray pdf;
    const PageStamp first = stamps.empty() ? PageStamp{595.28, 841.89, {}, {}} : stamps.front();
    Surface surface(cairo_pdf_surface_create_for_stream(appendToBytes, &pdf, first.widthPoints, first.heightPoints));
    cairo_pdf_surface_set_metadata(surface.get(), CAIRO_PDF_METADATA_CREATOR, "Tessaly");
    Cairo cr(cairo_create(surface.get()));
    const Context context = contextFor(cr.get());
    const TextFaces faces{std::string()};
    for (const PageStamp &stamp : stamps) {
        cairo_pdf_surface_set_size(surface.get(), stamp.widthPoints, stamp.heightPoints);
        drawStamp(cr.get(), context.get(), faces, stamp, stamp.centre, Place::Centre);
        drawStamp(cr.get(), context.get(), faces, stamp, stamp.right, Place::Right);
        cairo_show_page(cr.get());
    }
    cr.reset();
    cairo_surface_finish(surface.get());
    if (const cairo_status_t status = cairo_surface_status(surface.get()); status != CAIRO_STATUS_SUCCESS)
        return Error{std::string("cannot draw the page stamps: ") + cairo_status_to_string(status),
                     FailureKind::RenderFailed};
    return pdf;
}

} // namespace tessaly
