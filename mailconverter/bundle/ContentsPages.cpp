#include "mailconverter/bundle/ContentsPages.h"

#include "mailconverter/textpages/PageSetup.h"
#include "mailconverter/textpages/PangoText.h"
#include "support/Utf8.h"

#include <string>

namespace tessaly {
namespace {

using namespace pangotext;

constexpr double kTitlePoints = 16;
constexpr double kSubtitlePoints = 11;
constexpr double kLinePoints = 9.5;
constexpr double kLineSpacePoints = 3;
constexpr std::uint32_t kQuietColour = 0x5f6368;
constexpr std::uint32_t kFailureColour = 0xa50e0e;
/// A sender longer than this is cut before the subject is: the subject tells messages apart.
constexpr std::size_t kMaxFromCharacters = 40;
/// A failure text may take two lines or so; the whole of it is in the index and the load file.
constexpr std::size_t kMaxFailureCharacters = 240;
constexpr double kFailureIndentPoints = 18;
constexpr std::string_view kSeparator = "  \u00b7  ";
constexpr std::string_view kEllipsis = "\u2026";

TextRun runOf(std::string text, std::uint32_t colour = TextRun{}.colour, bool bold = false)
{
    TextRun run;
    run.text = std::move(text);
    run.colour = colour;
    run.bold = bold;
    run.sizePoints = kLinePoints;
    return run;
}

/// `text` on one line, cut to `characters` characters with an ellipsis when longer.
std::string shortened(std::string_view text, std::size_t characters)
{
    std::string line(text);
    for (char &c : line) {
        if (c == '\n' || c == '\r' || c == '\t')
            c = ' ';
    }
    if (characterCount(line) <= characters)
        return line;
    return line.substr(0, byteLengthOfCharacters(line, characters)) + std::string(kEllipsis);
}

std::string attachmentsText(int count)
{
    return std::to_string(count) + (count == 1 ? " attachment" : " attachments");
}

TextParagraph lineOf(const BundleMessage &message, const AssembledMessage &placed, std::size_t subjectCharacters)
{
    TextParagraph paragraph;
    paragraph.spaceBeforePoints = kLineSpacePoints;
    paragraph.runs.push_back(runOf(std::to_string(message.number), TextRun{}.colour, true));
    std::string middle(kSeparator);
    if (!message.date.empty())
        middle += message.date + std::string(kSeparator);
    middle += shortened(message.from.empty() ? "(no sender)" : message.from, kMaxFromCharacters);
    middle += kSeparator;
    middle += shortened(message.subject.empty() ? "(no subject)" : message.subject, subjectCharacters);
    paragraph.runs.push_back(runOf(std::move(middle)));
    if (!message.pdf)
        return paragraph; // its failure has a line of its own below, so the subject keeps its room
    const std::string start =
        placed.firstBates.empty() ? "page " + std::to_string(placed.firstPage) : placed.firstBates;
    paragraph.runs.push_back(
        runOf(std::string(kSeparator) + start + std::string(kSeparator) + attachmentsText(message.attachments),
              kQuietColour));
    return paragraph;
}

/// Lays lines out as TextPageWriter will, to find how long a subject fits on one.
class LineMeasure
{
public:
    explicit LineMeasure(double width)
        : m_surface(cairo_image_surface_create(CAIRO_FORMAT_A8, 1, 1)), m_cairo(cairo_create(m_surface.get())),
          m_context(contextFor(m_cairo.get())), m_faces(std::string()), m_width(width)
    {
    }

    bool fitsOneLine(const TextParagraph &paragraph) const
    {
        std::vector<LinkSpan> links;
        const Layout layout = layOutParagraph(m_context.get(), paragraph, m_width, m_faces, links);
        return pango_layout_get_line_count(layout.get()) <= 1;
    }

private:
    Surface m_surface;
    Cairo m_cairo;
    Context m_context;
    TextFaces m_faces;
    double m_width;
};

TextParagraph fittedLineOf(const BundleMessage &message, const AssembledMessage &placed, const LineMeasure &measure)
{
    TextParagraph line = lineOf(message, placed, SIZE_MAX);
    if (measure.fitsOneLine(line))
        return line;
    // The longest subject that keeps the line to one, found by halving.
    std::size_t fits = 0;
    std::size_t tooLong = characterCount(message.subject);
    while (tooLong - fits > 1) {
        const std::size_t middle = fits + (tooLong - fits) / 2;
        if (measure.fitsOneLine(lineOf(message, placed, middle)))
            fits = middle;
        else
            tooLong = middle;
    }
    return lineOf(message, placed, fits);
}

/// The line below a message without a PDF: why, indented under its sender.
TextParagraph failureLineOf(const BundleMessage &message)
{
    TextParagraph paragraph;
    paragraph.indentPoints = kFailureIndentPoints;
    paragraph.runs.push_back(
        runOf("not converted: " + shortened(message.failure, kMaxFailureCharacters), kFailureColour));
    return paragraph;
}

TextParagraph headingOf(std::string text, double size, std::uint32_t colour, bool bold, double spaceBefore)
{
    TextParagraph paragraph;
    paragraph.spaceBeforePoints = spaceBefore;
    TextRun run = runOf(std::move(text), colour, bold);
    run.sizePoints = size;
    paragraph.runs.push_back(std::move(run));
    return paragraph;
}

} // namespace

Result<ContentsPages> ContentsPages::draw(const BundlePart &part, const std::vector<AssembledMessage> &placed)
{
    const TextPageGeometry geometry = textPageGeometry(defaultPageLayout());

    std::vector<TextParagraph> paragraphs;
    paragraphs.push_back(headingOf(part.title, kTitlePoints, TextRun{}.colour, true, 0));
    std::string subtitle =
        std::to_string(part.messages.size()) + (part.messages.size() == 1 ? " message" : " messages");
    if (part.partCount > 1)
        subtitle =
            "part " + std::to_string(part.partNumber) + " of " + std::to_string(part.partCount) + " \u00b7 " + subtitle;
    paragraphs.push_back(headingOf(subtitle, kSubtitlePoints, kQuietColour, false, 2));
    paragraphs.push_back(headingOf(" ", kLinePoints, kQuietColour, false, 0));

    const LineMeasure measure(geometry.widthPoints - geometry.leftPoints - geometry.rightPoints);
    std::vector<std::size_t> messageLines;
    for (std::size_t i = 0; i < part.messages.size(); ++i) {
        messageLines.push_back(paragraphs.size());
        paragraphs.push_back(fittedLineOf(part.messages[i], placed[i], measure));
        if (!part.messages[i].pdf)
            paragraphs.push_back(failureLineOf(part.messages[i]));
    }

    std::vector<TextPlacement> placements;
    Result<QByteArray> pdf = TextPageWriter(geometry, std::string()).write(paragraphs, nullptr, nullptr, &placements);
    if (!pdf)
        return pdf.error().within("the contents list: ");
    ContentsPages contents;
    contents.pdf = std::move(pdf.value());
    for (const std::size_t line : messageLines)
        contents.lines.push_back(placements[line]);
    return contents;
}

} // namespace tessaly
