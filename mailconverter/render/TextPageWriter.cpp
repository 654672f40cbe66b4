#include "mailconverter/render/TextPageWriter.h"

#include "mailconverter/html/PlainTextHtml.h"
#include "mailconverter/render/MonospaceAsciiFace.h"
#include "mailconverter/render/PangoText.h"

#include <cairo-pdf.h>

#include <iterator>
#include <optional>
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
        if (!run.monospace || !run.link.empty() || !MonospaceAsciiFace::isPrintableAscii(run.text))
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
                                         bool *cut) const
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
    // Moves to a new page when a line of `height` would cross the column's bottom and draws
    // the paragraph's quote bars beside it; false when the page limit cuts the text there.
    const auto placeLine = [&](const TextParagraph &paragraph, double height) {
        if (pageHasLines && y + height > bottomOf(pageNumber)) {
            if (limit && pageNumber >= limit->pages) {
                isCut = true;
                return false;
            }
            cairo_show_page(cr.get());
            ++pageNumber;
            y = page.topPoints;
            pageHasLines = false;
        }
        for (int level = 1; level <= paragraph.quoteLevel; ++level) {
            const auto colour = kQuoteColours[std::size_t(level - 1) % std::size(kQuoteColours)];
            setColour(cr.get(), colourOf(colour));
            cairo_rectangle(cr.get(), page.leftPoints + kQuoteIndentPt * (level - 1), y, kQuoteBarWidthPoints, height);
            cairo_fill(cr.get());
        }
        return true;
    };
    for (const TextParagraph &paragraph : paragraphs) {
        if (isCut)
            break;
        const double layoutX = page.leftPoints + paragraph.indentPoints;
        const double width = columnWidth - paragraph.indentPoints;
        if (const MonospaceAsciiFace *ascii =
                m_shaping == LineShaping::AsciiFastPath ? asciiFaces.faceFor(paragraph) : nullptr) {
            const TextRun &run = paragraph.runs.front();
            const std::vector<AsciiLine> lines = ascii->lines(run.text, width, breakLanguage);
            if (!lines.empty()) {
                if (pageHasLines)
                    y += paragraph.spaceBeforePoints;
                for (const AsciiLine &line : lines) {
                    if (!placeLine(paragraph, ascii->lineHeight()))
                        break;
                    ascii->draw(cr.get(), run.text, line, layoutX, y + ascii->baselineOffset(), run.colour);
                    y += ascii->lineHeight();
                    pageHasLines = true;
                }
                continue;
            }
        }
        std::vector<LinkSpan> links;
        const Layout layout = layOutParagraph(context.get(), paragraph, width, faces, links);
        const char *text = pango_layout_get_text(layout.get());
        if (pageHasLines)
            y += paragraph.spaceBeforePoints;
        const LayoutIter line(pango_layout_get_iter(layout.get()));
        do {
            PangoRectangle extents;
            pango_layout_iter_get_line_extents(line.get(), nullptr, &extents);
            const double height = points(extents.height);
            if (!placeLine(paragraph, height))
                break;
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
