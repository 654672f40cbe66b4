#include "mailconverter/textpages/TextPageWriter.h"

#include "mailconverter/html/PlainTextHtml.h"
#include "mailconverter/textpages/MonospaceAsciiFace.h"
#include "mailconverter/textpages/PangoText.h"

#include <cairo-pdf.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <optional>
#include <string>
#include <utility>

namespace tessaly {
namespace {

using namespace pangotext;

constexpr double kQuoteBarWidthPoints = 1.5;  // 2 CSS pixels, as on the web engine's page
constexpr double kPointsPerImagePixel = 0.75; // a CSS pixel, as the web engine draws an image
constexpr double kRuleWidthPoints = 0.75;
constexpr std::uint32_t kRuleColour = 0x999999;

std::uint32_t colourOf(std::string_view hex)
{
    return hex.size() == 7 ? std::uint32_t(std::stoul(std::string(hex.substr(1)), nullptr, 16)) : 0;
}

/// `image` as a Cairo surface of its own pixels; with its JPEG file attached, when given, for
/// Cairo to write instead of the pixels.
Surface imageSurface(const QImage &image, const QByteArray &jpeg)
{
    const bool opaque = !image.hasAlphaChannel();
    // Both match Cairo's native-endian 32-bit formats.
    const QImage pixels = image.convertToFormat(opaque ? QImage::Format_RGB32 : QImage::Format_ARGB32_Premultiplied);
    Surface surface(
        cairo_image_surface_create(opaque ? CAIRO_FORMAT_RGB24 : CAIRO_FORMAT_ARGB32, pixels.width(), pixels.height()));
    cairo_surface_flush(surface.get());
    unsigned char *data = cairo_image_surface_get_data(surface.get());
    const int stride = cairo_image_surface_get_stride(surface.get());
    if (!data)
        return surface;
    for (int row = 0; row < pixels.height(); ++row)
        std::memcpy(data + std::ptrdiff_t(row) * stride, pixels.constScanLine(row), std::size_t(pixels.width()) * 4);
    cairo_surface_mark_dirty(surface.get());
    if (!jpeg.isEmpty()) {
        // Cairo keeps the bytes until the surface is gone.
        auto *bytes = new QByteArray(jpeg);
        cairo_surface_set_mime_data(
            surface.get(), CAIRO_MIME_TYPE_JPEG, reinterpret_cast<const unsigned char *>(bytes->constData()),
            static_cast<unsigned long>(bytes->size()), [](void *closure) { delete static_cast<QByteArray *>(closure); },
            bytes);
    }
    return surface;
}

/// The size an image is drawn at in a column `width` wide and a page's column `height` high:
/// a pixel to 0.75 pt, never larger, scaled down to fit, its aspect kept.
std::pair<double, double> imageSize(const QImage &image, double width, double height)
{
    double drawnWidth = image.width() * kPointsPerImagePixel;
    double drawnHeight = image.height() * kPointsPerImagePixel;
    const double scale = std::min({1.0, width / drawnWidth, height / drawnHeight});
    return {drawnWidth * scale, drawnHeight * scale};
}

/// Draws the image of `paragraph` `width` × `height` points with its top-left corner at (x, y).
void drawImage(cairo_t *cr, const TextParagraph &paragraph, double x, double y, double width, double height)
{
    const Surface image = imageSurface(paragraph.image, paragraph.imageJpeg);
    cairo_save(cr);
    cairo_translate(cr, x, y);
    cairo_scale(cr, width / paragraph.image.width(), height / paragraph.image.height());
    cairo_set_source_surface(cr, image.get(), 0, 0);
    cairo_paint(cr);
    cairo_restore(cr);
}

/// The faces of the monospaced styles a page's ASCII paragraphs use, each learnt at its first use.
class AsciiFaces
{
public:
    AsciiFaces(PangoContext *context, const TextFaces &faces) : m_context(context), m_faces(faces) {}

    /// The face for `paragraph` when it can skip shaping: one run of printable ASCII in the
    /// monospaced face, without a link. Null otherwise.
    const MonospaceAsciiFace *faceFor(const TextParagraph &paragraph)
    {
        if (paragraph.runs.size() != 1)
            return nullptr;
        const TextRun &run = paragraph.runs.front();
        if (!run.monospace || run.italic || !run.link.empty() || paragraph.hangingPoints != 0 ||
            !paragraph.image.isNull() || !MonospaceAsciiFace::isPrintableAscii(run.text))
            return nullptr;
        for (const Learnt &learnt : m_learnt) {
            if (learnt.sizePoints == run.sizePoints && learnt.bold == run.bold)
                return learnt.face ? &*learnt.face : nullptr;
        }
        m_learnt.push_back({run.sizePoints, run.bold, MonospaceAsciiFace::learn(m_context, run, m_faces)});
        return m_learnt.back().face ? &*m_learnt.back().face : nullptr;
    }

private:
    struct Learnt
    {
        double sizePoints = 0;
        bool bold = false;
        std::optional<MonospaceAsciiFace> face;
    };
    PangoContext *m_context;
    const TextFaces &m_faces;
    std::vector<Learnt> m_learnt;
};

} // namespace

TextPageWriter::TextPageWriter(TextPageGeometry geometry, std::string language, LineShaping shaping)
    : m_geometry(geometry), m_language(std::move(language)), m_shaping(shaping)
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
    AsciiFaces asciiFaces(context.get(), faces);
    PangoLanguage *breakLanguage = faces.language ? faces.language : pango_context_get_language(context.get());

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
    const TextParagraph *previous = nullptr;
    // Moves to a new page unless the text is cut there; false when it is.
    const auto newPage = [&] {
        if (limit && pageNumber >= limit->pages) {
            isCut = true;
            return false;
        }
        cairo_show_page(cr.get());
        ++pageNumber;
        y = page.topPoints;
        pageHasLines = false;
        return true;
    };
    // Moves to a new page when a line of `height` would cross the column's bottom and draws
    // the paragraph's fill and quote bars beside it; false when the page limit cuts the text there.
    const auto placeLine = [&](const TextParagraph &paragraph, double left, double width, double height) {
        if (pageHasLines && y + height > bottomOf(pageNumber) && !newPage())
            return false;
        if (paragraph.background) {
            setColour(cr.get(), *paragraph.background);
            cairo_rectangle(cr.get(), left, y, width, height);
            cairo_fill(cr.get());
        }
        for (int level = 1; level <= paragraph.quoteLevel; ++level) {
            const auto colour = kQuoteColours[std::size_t(level - 1) % std::size(kQuoteColours)];
            setColour(cr.get(), colourOf(colour));
            cairo_rectangle(cr.get(), page.leftPoints + kQuoteIndentPt * (level - 1), y, kQuoteBarWidthPoints, height);
            cairo_fill(cr.get());
        }
        return true;
    };
    // Widens `placement` by a line from `left` to `right`, `height` high, at the current y;
    // only the first page's lines count: a box that spans pages has no one /Rect.
    const auto placeIn = [&](TextPlacement *placement, double left, double right, double height) {
        if (!placement || (placement->page >= 0 && placement->page != pageNumber - 1))
            return;
        const double top = page.heightPoints - y;
        const double lineBottom = top - height;
        if (placement->page < 0)
            *placement = TextPlacement{pageNumber - 1, left, lineBottom, right, top};
        placement->left = std::min(placement->left, left);
        placement->right = std::max(placement->right, right);
        placement->bottom = std::min(placement->bottom, lineBottom);
    };
    if (placements)
        placements->assign(paragraphs.size(), TextPlacement{});
    std::size_t paragraphIndex = 0;
    for (const TextParagraph &paragraph : paragraphs) {
        if (isCut)
            break;
        TextPlacement *placement = placements ? &(*placements)[paragraphIndex++] : nullptr;
        const TextParagraph *before = std::exchange(previous, &paragraph);
        const double left = page.leftPoints + paragraph.indentPoints;
        const double width = columnWidth - paragraph.indentPoints;
        if (pageHasLines && paragraph.background && before && before->background == paragraph.background) {
            setColour(cr.get(), *paragraph.background);
            cairo_rectangle(cr.get(), left, y, width, std::min(paragraph.spaceBeforePoints, bottom - y));
            cairo_fill(cr.get());
        }
        if (paragraph.ruleAbove) {
            if (pageHasLines)
                y += paragraph.spaceBeforePoints;
            if (pageHasLines && y + kRuleGapPoints > bottomOf(pageNumber) && !newPage())
                break;
            setColour(cr.get(), kRuleColour);
            cairo_rectangle(cr.get(), left, y, width, kRuleWidthPoints);
            cairo_fill(cr.get());
            y += kRuleGapPoints;
            pageHasLines = true;
        }
        if (!paragraph.image.isNull()) {
            const auto [drawnWidth, drawnHeight] = imageSize(paragraph.image, width, bottom - page.topPoints);
            if (pageHasLines && !paragraph.ruleAbove)
                y += paragraph.spaceBeforePoints;
            if (pageHasLines && y + drawnHeight > bottomOf(pageNumber) && !newPage())
                break;
            drawImage(cr.get(), paragraph, left, y, drawnWidth, drawnHeight);
            y += drawnHeight;
            pageHasLines = true;
            continue;
        }
        if (const MonospaceAsciiFace *ascii =
                m_shaping == LineShaping::AsciiFastPath ? asciiFaces.faceFor(paragraph) : nullptr) {
            const TextRun &run = paragraph.runs.front();
            const std::vector<AsciiLine> lines = ascii->lines(run.text, width, breakLanguage);
            if (!lines.empty()) {
                if (pageHasLines && !paragraph.ruleAbove)
                    y += paragraph.spaceBeforePoints;
                for (const AsciiLine &line : lines) {
                    if (!placeLine(paragraph, left, width, ascii->lineHeight()))
                        break;
                    placeIn(placement, left, left + width, ascii->lineHeight());
                    ascii->draw(cr.get(), run.text, line, left, y + ascii->baselineOffset(), run.colour);
                    y += ascii->lineHeight();
                    pageHasLines = true;
                }
                continue;
            }
        }
        std::vector<LinkSpan> links;
        const Layout layout = layOutParagraph(context.get(), paragraph, width, faces, links);
        const char *text = pango_layout_get_text(layout.get());
        if (pageHasLines && !paragraph.ruleAbove)
            y += paragraph.spaceBeforePoints;
        const LayoutIter line(pango_layout_get_iter(layout.get()));
        do {
            PangoRectangle extents;
            pango_layout_iter_get_line_extents(line.get(), nullptr, &extents);
            const double height = points(extents.height);
            if (!placeLine(paragraph, left, width, height))
                break;
            placeIn(placement, left + points(extents.x), left + points(extents.x + extents.width), height);
            drawLine(cr.get(), line.get(), text, links, left, y);
            y += height;
            pageHasLines = true;
        } while (pango_layout_iter_next_line(line.get()));
    }
    if (cut)
        *cut = isCut;
    cr.reset();
    cairo_surface_finish(surface.get());
    if (const cairo_status_t status = cairo_surface_status(surface.get()); status != CAIRO_STATUS_SUCCESS)
        return Error{std::string("cannot write the text page: ") + cairo_status_to_string(status),
                     FailureKind::RenderFailed};
    return pdf;
}

double TextPageWriter::heightOf(const std::vector<TextParagraph> &paragraphs) const
{
    Surface scratch(cairo_pdf_surface_create_for_stream(nullptr, nullptr, 1, 1));
    Cairo cr(cairo_create(scratch.get()));
    const Context context = contextFor(cr.get());
    const TextFaces faces(m_language);
    const double columnWidth = m_geometry.widthPoints - m_geometry.leftPoints - m_geometry.rightPoints;
    double height = 0;
    for (const TextParagraph &paragraph : paragraphs) {
        if (height > 0 || paragraph.ruleAbove)
            height += paragraph.spaceBeforePoints;
        if (paragraph.ruleAbove)
            height += kRuleGapPoints;
        if (!paragraph.image.isNull()) {
            height += imageSize(paragraph.image, columnWidth - paragraph.indentPoints, 1e9).second;
            continue;
        }
        std::vector<LinkSpan> links;
        const Layout layout =
            layOutParagraph(context.get(), paragraph, columnWidth - paragraph.indentPoints, faces, links);
        PangoRectangle extents;
        pango_layout_get_extents(layout.get(), nullptr, &extents);
        height += points(extents.height);
    }
    return height;
}

} // namespace tessaly
