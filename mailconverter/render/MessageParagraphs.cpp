#include "mailconverter/render/MessageParagraphs.h"

#include "mailconverter/html/HeaderBlockHtml.h"
#include "mailconverter/html/HtmlText.h"
#include "mailconverter/mime/CalendarInvitation.h"
#include "mailconverter/render/HeaderBlockPage.h"
#include "mailconverter/render/PlainTextPage.h"

#include <QBuffer>
#include <QImageReader>

#include <cmath>
#include <utility>

namespace tessaly {
namespace {

constexpr double kPointsPerPixel = 0.75;
constexpr std::uint32_t kTextColour = 0x1a1a1a;
constexpr std::uint32_t kLabelColour = 0x555555;

// A forwarded message's header block, as the outer one's table: 9 pt, bold grey labels in a
// column 14% wide, on the header block's grey.
constexpr double kHeaderPoints = 9;
constexpr double kHeaderLabelShare = 0.14;
constexpr std::uint32_t kHeaderBackground = 0xf2f4f7;
constexpr double kHeaderRowGap = 2;
constexpr double kHeaderGapBelow = 10;
constexpr double kCaptionPoints = 9;
constexpr double kCaptionGapAbove = 14;
constexpr double kCaptionGapBelow = 6;

// The invitation block: 9.5 pt, labels 16% wide, the title 11 pt bold, on a pale blue.
constexpr double kInvitationPoints = 9.5;
constexpr double kInvitationTitlePoints = 11;
constexpr double kInvitationLabelShare = 0.16;
constexpr std::uint32_t kInvitationBackground = 0xf4f7fb;
constexpr double kInvitationRowGap = 2;
constexpr double kInvitationGapAbove = 6;
constexpr double kInvitationGapBelow = 10;

constexpr double kImageGap = 4;
constexpr double kHtmlTextPoints = 10;

/// The number of colour components a JPEG file declares in its frame header, or 0.
int jpegComponents(const QByteArray &jpeg)
{
    const auto byte = [&](qsizetype at) { return at < jpeg.size() ? static_cast<unsigned char>(jpeg[at]) : 0; };
    for (qsizetype at = 2; at + 9 < jpeg.size();) {
        if (byte(at) != 0xFF)
            return 0;
        const unsigned marker = byte(at + 1);
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC)
            return byte(at + 9);
        at += 2 + (byte(at + 2) << 8 | byte(at + 3));
    }
    return 0;
}

class Builder
{
public:
    explicit Builder(const MessagePageColumn &column) : m_column(column) {}

    void addMessage(const MailMessage &message, int depth);
    std::vector<TextParagraph> take() { return std::move(m_paragraphs); }

private:
    void push(TextParagraph paragraph);
    void addBody(const MailMessage &message, const BodyPart &body);
    void addImage(const MailMessage &message, const std::string &key);
    void addInvitation(std::string_view calendarText);
    void addHeaderBlock(const MailMessage &message);
    std::vector<TextParagraph> labelled(const std::string &label, std::vector<TextRun> value, double labelShare,
                                        double sizePoints) const;

    const MessagePageColumn &m_column;
    std::vector<TextParagraph> m_paragraphs;
    double m_gap = 0; ///< room before the next paragraph, after a block
};

void Builder::push(TextParagraph paragraph)
{
    paragraph.spaceBeforePoints = std::max(paragraph.spaceBeforePoints, m_gap);
    m_gap = 0;
    m_paragraphs.push_back(std::move(paragraph));
}

std::vector<TextParagraph> Builder::labelled(const std::string &label, std::vector<TextRun> value, double labelShare,
                                             double sizePoints) const
{
    // A paragraph per line of the value: a line break inside a Pango paragraph starts one of
    // its own, which would begin under the label. Lines after the first tab to the value.
    TextParagraph paragraph;
    paragraph.hangingPoints = m_column.widthPoints * labelShare;
    TextRun labelRun;
    labelRun.text = label + ":\t";
    labelRun.bold = true;
    labelRun.colour = kLabelColour;
    labelRun.sizePoints = sizePoints;
    paragraph.runs.push_back(labelRun);
    std::vector<TextParagraph> lines;
    for (TextRun &run : value) {
        std::string_view text = run.text;
        for (std::size_t newline; (newline = text.find('\n')) != std::string_view::npos;) {
            TextRun before = run;
            before.text = std::string(text.substr(0, newline));
            if (!before.text.empty())
                paragraph.runs.push_back(std::move(before));
            lines.push_back(paragraph);
            paragraph.runs.clear();
            TextRun tab = labelRun;
            tab.text = "\t";
            paragraph.runs.push_back(std::move(tab));
            text.remove_prefix(newline + 1);
        }
        run.text = std::string(text);
        if (!run.text.empty())
            paragraph.runs.push_back(std::move(run));
    }
    lines.push_back(std::move(paragraph));
    return lines;
}

void Builder::addHeaderBlock(const MailMessage &message)
{
    TextRun style;
    style.colour = kTextColour;
    style.sizePoints = kHeaderPoints;
    TextRun subject = style;
    subject.bold = true;
    bool first = true;
    for (const HeaderRow &row :
         headerRows(message, forwardedMessageListings(message), HeaderLimits{}, HeaderMarkup::Simple)) {
        bool rowStart = true;
        for (TextParagraph &paragraph :
             labelled(row.label, runsOfValueHtml(row.valueHtml, row.isSubject ? subject : style), kHeaderLabelShare,
                      kHeaderPoints)) {
            paragraph.background = kHeaderBackground;
            paragraph.spaceBeforePoints = first || !rowStart ? 0 : kHeaderRowGap;
            first = false;
            rowStart = false;
            push(std::move(paragraph));
        }
    }
    if (!first)
        m_gap = kHeaderGapBelow;
}

void Builder::addImage(const MailMessage &message, const std::string &key)
{
    const InlineResource *resource = findInlineResource(message, key);
    if (!resource)
        return;
    const QByteArray bytes = QByteArray::fromStdString(resource->bytes);
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QSize size = reader.size();
    if (!size.isValid() || qint64(size.width()) * size.height() > kMaxImagePixels)
        return;
    // No more pixels than the column shows at a CSS pixel to 0.75 pt.
    const QSize box(std::max(1, int(m_column.widthPoints / kPointsPerPixel)),
                    std::max(1, int(m_column.heightPoints / kPointsPerPixel)));
    QSize scaled = size;
    if (size.width() > box.width() || size.height() > box.height())
        scaled = size.scaled(box, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
    if (scaled != size)
        reader.setScaledSize(scaled);
    const bool isJpeg = reader.format() == "jpeg";
    TextParagraph paragraph;
    paragraph.image = reader.read();
    if (paragraph.image.isNull())
        return;
    if (isJpeg && scaled == size && paragraph.image.size() == size &&
        (jpegComponents(bytes) == 1 || jpegComponents(bytes) == 3))
        paragraph.imageJpeg = bytes;
    paragraph.spaceBeforePoints = kImageGap;
    push(std::move(paragraph));
    m_gap = kImageGap;
}

void Builder::addInvitation(std::string_view calendarText)
{
    const std::optional<CalendarInvitation> invitation = readCalendarInvitation(calendarText);
    if (!invitation) {
        for (TextParagraph &paragraph : plainTextParagraphs(calendarText))
            push(std::move(paragraph));
        return;
    }
    TextRun style;
    style.colour = kTextColour;
    style.sizePoints = kInvitationPoints;
    TextRun quiet = style;
    quiet.colour = kLabelColour;
    m_gap = std::max(m_gap, kInvitationGapAbove);
    bool first = true;
    const auto add = [&](TextParagraph paragraph, bool rowStart) {
        paragraph.background = kInvitationBackground;
        paragraph.spaceBeforePoints = first || !rowStart ? 0 : kInvitationRowGap;
        first = false;
        push(std::move(paragraph));
    };
    const auto row = [&](const std::string &label, std::vector<TextRun> value) {
        if (value.empty() || (value.size() == 1 && value.front().text.empty()))
            return;
        bool rowStart = true;
        for (TextParagraph &paragraph : labelled(label, std::move(value), kInvitationLabelShare, kInvitationPoints))
            add(std::move(paragraph), std::exchange(rowStart, false));
    };
    const auto text = [&](const std::string &value) {
        TextRun run = style;
        run.text = value;
        return std::vector<TextRun>{run};
    };
    for (const CalendarEvent &event : invitation->events) {
        std::string title = invitation->method;
        if (!event.summary.empty())
            title += ": " + event.summary;
        if (event.cancelled && invitation->method != "Cancellation")
            title += " (cancelled)";
        TextParagraph heading;
        TextRun titleRun = style;
        titleRun.text = title;
        titleRun.bold = true;
        titleRun.sizePoints = kInvitationTitlePoints;
        heading.runs.push_back(std::move(titleRun));
        add(std::move(heading), true);
        row("Start", text(event.start));
        row("End", text(event.end));
        row("Repeats", text(event.recurrence));
        row("Location", text(event.location));
        row("Organizer", text(event.organizer));
        std::vector<TextRun> attendees;
        for (const CalendarAttendee &attendee : event.attendees) {
            TextRun who = style;
            who.text = (attendees.empty() ? "" : "\n") + attendee.who + " ";
            TextRun answer = quiet;
            answer.text = "(" + attendee.role + ", " + attendee.answer + ")";
            attendees.push_back(std::move(who));
            attendees.push_back(std::move(answer));
        }
        row("Attendees", std::move(attendees));
        row("Description", text(event.description));
    }
    if (invitation->eventsNotShown > 0)
        row("More", text(std::to_string(invitation->eventsNotShown) +
                         " more events, in the calendar file kept with this message"));
    m_gap = kInvitationGapBelow;
}

void Builder::addBody(const MailMessage &message, const BodyPart &body)
{
    switch (body.kind) {
    case BodyPart::Kind::PlainText:
        for (TextParagraph &paragraph : plainTextParagraphs(body.text))
            push(std::move(paragraph));
        return;
    case BodyPart::Kind::Image:
        addImage(message, body.text);
        return;
    case BodyPart::Kind::Invitation:
        addInvitation(body.text);
        return;
    case BodyPart::Kind::Html:
        if (!m_column.htmlAsText)
            return;
        const std::string text = htmlText(body.text);
        for (std::size_t start = 0; start <= text.size();) {
            std::size_t end = text.find('\n', start);
            if (end == std::string::npos)
                end = text.size();
            TextParagraph paragraph;
            TextRun run;
            run.text = text.substr(start, end - start);
            run.sizePoints = kHtmlTextPoints;
            paragraph.runs.push_back(std::move(run));
            push(std::move(paragraph));
            start = end + 1;
        }
        return;
    }
}

void Builder::addMessage(const MailMessage &message, int depth)
{
    // The message's own header block is stamped apart from its page (HeaderStamp); forwarded
    // messages carry theirs in the flow.
    if (depth > 0)
        addHeaderBlock(message);
    for (const BodyPart &body : message.bodies)
        addBody(message, body);
    for (const MailMessage &forwarded : message.forwarded) {
        TextParagraph caption;
        caption.ruleAbove = true;
        caption.spaceBeforePoints = kCaptionGapAbove;
        TextRun run;
        run.text = "Forwarded message";
        run.bold = true;
        run.colour = kLabelColour;
        run.sizePoints = kCaptionPoints;
        caption.runs.push_back(std::move(run));
        m_gap = 0;
        push(std::move(caption));
        m_gap = kCaptionGapBelow;
        addMessage(forwarded, depth + 1);
    }
}

} // namespace

bool hasHtmlBody(const MailMessage &message)
{
    for (const BodyPart &body : message.bodies) {
        if (body.kind == BodyPart::Kind::Html)
            return true;
    }
    for (const MailMessage &inner : message.forwarded) {
        if (hasHtmlBody(inner))
            return true;
    }
    return false;
}

std::vector<TextParagraph> messageParagraphs(const MailMessage &message, const MessagePageColumn &column)
{
    Builder builder(column);
    builder.addMessage(message, 0);
    return builder.take();
}

} // namespace tessaly
