#include "app/Artwork.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace tessaly {
namespace {

const QColor kDeepBlue(0, 51, 140);
const QColor kOutline(20, 40, 90);
const QColor kEnvelope(255, 236, 160);
const QColor kPdfRed(196, 32, 32);

/// Draws the symbol into the square `box`: a page with a folded corner behind an envelope.
void paintSymbol(QPainter &painter, const QRectF &box)
{
    const qreal s = box.width() / 256.0; // designed on a 256-unit grid
    const auto at = [&](qreal x, qreal y) { return QPointF(box.left() + x * s, box.top() + y * s); };
    const qreal pen = std::max<qreal>(1.0, 8.0 * s);

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(kOutline, pen, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));

    // The page, top right.
    QPainterPath page;
    page.moveTo(at(100, 16));
    page.lineTo(at(196, 16));
    page.lineTo(at(240, 60));
    page.lineTo(at(240, 216));
    page.lineTo(at(100, 216));
    page.closeSubpath();
    painter.setBrush(Qt::white);
    painter.drawPath(page);
    QPainterPath fold;
    fold.moveTo(at(196, 16));
    fold.lineTo(at(196, 60));
    fold.lineTo(at(240, 60));
    painter.setBrush(QColor(220, 226, 240));
    painter.drawPath(fold);
    // The red band marks it as a finished document; lines of text below, where there is room.
    painter.setPen(Qt::NoPen);
    painter.setBrush(kPdfRed);
    painter.drawRect(QRectF(at(128, 76), at(216, 100)));
    if (box.width() >= 32) {
        painter.setBrush(QColor(150, 160, 185));
        for (int line = 0; line < 3; ++line)
            painter.drawRect(QRectF(at(128, 116 + line * 22), at(216, 126 + line * 22)));
    }

    // The envelope, bottom left, in front of the page.
    painter.setPen(QPen(kOutline, pen, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(kEnvelope);
    const QRectF envelope(at(12, 120), at(164, 236));
    painter.drawRect(envelope);
    QPainterPath flap;
    flap.moveTo(envelope.topLeft());
    flap.lineTo(at(88, 186));
    flap.lineTo(envelope.topRight());
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(flap);

    // An arrow from the envelope to the page, at sizes where it can be seen.
    if (box.width() >= 32) {
        painter.setPen(QPen(kDeepBlue, pen * 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.drawLine(at(40, 92), at(76, 56));
        QPainterPath head;
        head.moveTo(at(86, 46));
        head.lineTo(at(52, 54));
        head.lineTo(at(78, 80));
        head.closeSubpath();
        painter.setBrush(kDeepBlue);
        painter.setPen(Qt::NoPen);
        painter.drawPath(head);
    }
    painter.restore();
}

} // namespace

QImage drawProgramIcon(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    paintSymbol(painter, QRectF(0, 0, size, size));
    return image;
}

QIcon programIcon()
{
    QIcon icon;
    for (const int size : kIconSizes)
        icon.addPixmap(QPixmap::fromImage(drawProgramIcon(size)));
    return icon;
}

QImage drawBanner(qreal devicePixelRatio)
{
    QImage image(QSize(600, 85) * devicePixelRatio, QImage::Format_RGB32);
    image.setDevicePixelRatio(devicePixelRatio);
    QPainter painter(&image);
    QLinearGradient ground(0, 0, 600, 85);
    ground.setColorAt(0.0, kDeepBlue);
    ground.setColorAt(1.0, QColor(30, 110, 200));
    painter.fillRect(QRect(0, 0, 600, 85), ground);

    // A pale disc behind the symbol lifts it off the ground.
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 255, 255, 40));
    painter.drawEllipse(QRectF(14, 6, 73, 73));
    paintSymbol(painter, QRectF(22, 12, 60, 60));

    QFont title(QStringLiteral("DejaVu Sans"));
    title.setPixelSize(34);
    title.setBold(true);
    painter.setFont(title);
    painter.setPen(Qt::white);
    painter.drawText(QRectF(104, 8, 480, 44), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Tessaly"));

    QFont subtitle(QStringLiteral("DejaVu Sans"));
    subtitle.setPixelSize(14);
    painter.setFont(subtitle);
    painter.setPen(QColor(200, 222, 255));
    painter.drawText(QRectF(106, 50, 480, 24), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("MBOX mailboxes to PDF, one file per message"));
    return image;
}

} // namespace tessaly
