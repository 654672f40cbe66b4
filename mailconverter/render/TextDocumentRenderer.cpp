#include "mailconverter/render/TextDocumentRenderer.h"

#include "mailconverter/render/FontSetup.h"
#include "mailconverter/render/HeaderStamp.h"
#include "mailconverter/render/PageBudget.h"

#include <QAbstractTextDocumentLayout>
#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QPdfWriter>
#include <QTextBlock>
#include <QTextBlockFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <QUrl>

#include <algorithm>

namespace tessaly {
namespace {

constexpr int kPdfResolution = HeaderStamp::kStampResolution;
constexpr qreal kBreakTolerance = 0.5; // device pixels

/// A document that loads nothing by itself: QTextDocument would otherwise read any local
/// file an <img> or stylesheet names (even /dev/zero).
class ClosedTextDocument : public QTextDocument
{
public:
    using QTextDocument::QTextDocument;

protected:
    QVariant loadResource(int, const QUrl &) override { return {}; }
};

/// Decodes an image no larger than `box`, scaling it down while decoding. Returns a null
/// image when the data is not an image or claims more than kMaxImagePixels.
QImage decodeWithin(const QByteArray &data, const QSizeF &box)
{
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QSize size = reader.size();
    if (!size.isValid() || qint64(size.width()) * size.height() > kMaxImagePixels)
        return {};
    QSize scaled = size;
    if (size.width() > box.width() || size.height() > box.height())
        scaled = size.scaled(box.toSize(), Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
    if (scaled != size)
        reader.setScaledSize(scaled);
    return reader.read();
}

/// Where the line that `y` (in document coordinates) falls on starts, so that a page cut
/// there ends with whole lines; `y` itself between lines.
qreal startOfLineAt(const QTextDocument &document, qreal y)
{
    QAbstractTextDocumentLayout *layout = document.documentLayout();
    const int position = layout->hitTest(QPointF(0, y), Qt::FuzzyHit);
    const QTextBlock block = document.findBlock(position);
    if (position < 0 || !block.isValid() || !block.layout())
        return y;
    const QTextLine line = block.layout()->lineForTextPosition(position - block.position());
    if (!line.isValid())
        return y;
    const qreal top = layout->blockBoundingRect(block).top() + line.y();
    return top < y && y < top + line.height() ? top : y;
}

} // namespace

TextDocumentRenderer::TextDocumentRenderer()
{
    installFontSubstitutions();
}

Result<QByteArray> TextDocumentRenderer::render(const QString &html, const MessageResources &resources,
                                                const QString &resourceBase, const QPageLayout &layout,
                                                const HeaderStamp *header, const PageBudget *budget, bool *cut) const
{
    QByteArray pdf;
    QBuffer output(&pdf);
    output.open(QIODevice::WriteOnly);
    QPdfWriter writer(&output);
    writer.setResolution(kPdfResolution);
    writer.setPageLayout(layout);
    writer.setCreator(QStringLiteral("Tessaly"));

    ClosedTextDocument document;
    document.documentLayout()->setPaintDevice(&writer);
    document.setDefaultFont(bodyFont());
    document.setDocumentMargin(0);
    const QSizeF page = layout.paintRectPixels(kPdfResolution).size();
    document.setPageSize(page);

    // Qt draws an image pixel as 1/96 inch on the writer; decode to at most the printable area.
    const QSizeF imageBox = page * (96.0 / kPdfResolution);
    for (auto it = resources.constBegin(); it != resources.constEnd(); ++it) {
        if (!it->mimeType.startsWith("image/"))
            continue;
        const QImage image = decodeWithin(it->data, imageBox);
        if (!image.isNull())
            document.addResource(QTextDocument::ImageResource,
                                 QUrl(resourceBase + QString::fromLatin1(QUrl::toPercentEncoding(it.key()))), image);
    }
    document.setHtml(html);
    if (header && !header->isEmpty()) {
        // An empty first line as tall as the header block's room (a top margin would be
        // dropped at the top of the page); later pages are not affected.
        QTextCursor start(&document);
        const QTextBlockFormat bodyFormat = start.blockFormat();
        start.insertBlock(bodyFormat, start.charFormat());
        start.movePosition(QTextCursor::Start);
        QTextBlockFormat room;
        // Block formats measure in CSS pixels (1/96 inch), whatever the paint device.
        room.setLineHeight(header->reservedHeight() * 96.0 / 72.0, QTextBlockFormat::FixedHeight);
        start.setBlockFormat(room);
        document.markContentsDirty(0, document.characterCount());
    }

    QPainter painter;
    if (!painter.begin(&writer))
        return Error{"cannot start the PDF writer"};
    int pages = document.pageCount();
    const bool isCut = budget && pages > budget->pages();
    if (cut)
        *cut = isCut;
    if (isCut)
        pages = budget->pages();
    for (int index = 0; index < pages; ++index) {
        if (index > 0)
            writer.newPage();
        QRectF area(0, index * page.height(), page.width(), page.height());
        const bool endsWithNotice = isCut && index == pages - 1;
        if (endsWithNotice) {
            const qreal noticeHeight = budget->noticeHeight() * kPdfResolution / 72.0;
            area.setBottom(std::max(area.top(), startOfLineAt(document, area.bottom() - noticeHeight)));
        }
        painter.save();
        painter.translate(0, -area.top());
        painter.setClipRect(area);
        // The layout puts a line that would cross a page break at the top of the next page,
        // so lines touch the breaks. QTextLayout draws every line that touches the clip,
        // which would put such a line on both pages (once into the margin); keep the clip
        // just inside the page.
        QAbstractTextDocumentLayout::PaintContext context;
        context.clip = area.adjusted(0, kBreakTolerance, 0, -kBreakTolerance);
        document.documentLayout()->draw(&painter, context);
        painter.restore();
        if (index == 0 && header)
            header->drawBand(painter);
        if (endsWithNotice)
            budget->drawNotice(painter, QPointF(0, area.height()));
    }
    painter.end();
    output.close();
    if (pdf.isEmpty())
        return Error{"the PDF writer produced nothing"};
    return pdf;
}

} // namespace tessaly
