#include "tests/mailconverter/render/PdfProbe.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryFile>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFAnnotationObjectHelper.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

namespace tessaly::test {
namespace {

QByteArray toolOutputOnPdf(const QString &tool, QStringList arguments, const QByteArray &pdf)
{
    QTemporaryFile file(QDir::tempPath() + QStringLiteral("/tessaly-probe-XXXXXX.pdf"));
    if (!file.open())
        return {};
    file.write(pdf);
    file.close();
    for (QString &argument : arguments)
        argument.replace(QStringLiteral("{pdf}"), file.fileName());
    QProcess process;
    process.start(tool, arguments);
    process.waitForFinished(60000);
    return process.readAllStandardOutput();
}

QString runOnPdf(const QString &tool, const QStringList &arguments, const QByteArray &pdf)
{
    return QString::fromUtf8(toolOutputOnPdf(tool, arguments, pdf));
}

} // namespace

QString pdfText(const QByteArray &pdf)
{
    return runOnPdf(QStringLiteral("pdftotext"),
                    {QStringLiteral("-enc"), QStringLiteral("UTF-8"), QStringLiteral("{pdf}"), QStringLiteral("-")},
                    pdf);
}

QString pdfLayoutText(const QByteArray &pdf)
{
    return runOnPdf(QStringLiteral("pdftotext"),
                    {QStringLiteral("-layout"), QStringLiteral("-enc"), QStringLiteral("UTF-8"),
                     QStringLiteral("{pdf}"), QStringLiteral("-")},
                    pdf);
}

QString pdfPageText(const QByteArray &pdf, int page)
{
    const QString number = QString::number(page);
    return runOnPdf(QStringLiteral("pdftotext"),
                    {QStringLiteral("-enc"), QStringLiteral("UTF-8"), QStringLiteral("-f"), number,
                     QStringLiteral("-l"), number, QStringLiteral("{pdf}"), QStringLiteral("-")},
                    pdf);
}

QImage pdfPageImage(const QByteArray &pdf, int page, int dpi)
{
    const QString number = QString::number(page);
    // Without an output name, pdftoppm writes the page to standard output, as a PGM.
    return QImage::fromData(
        toolOutputOnPdf(QStringLiteral("pdftoppm"),
                        {QStringLiteral("-gray"), QStringLiteral("-r"), QString::number(dpi), QStringLiteral("-f"),
                         number, QStringLiteral("-l"), number, QStringLiteral("-singlefile"), QStringLiteral("{pdf}")},
                        pdf),
        "PGM");
}

QString pdfInfo(const QByteArray &pdf, const QString &key)
{
    const QString info = runOnPdf(
        QStringLiteral("pdfinfo"),
        {QStringLiteral("-enc"), QStringLiteral("UTF-8"), QStringLiteral("-isodates"), QStringLiteral("{pdf}")}, pdf);
    for (const QString &line : info.split(QLatin1Char('\n'))) {
        if (line.startsWith(key + QLatin1Char(':')))
            return line.mid(key.size() + 1).trimmed();
    }
    return {};
}

QList<QSize> pdfImageSizes(const QByteArray &pdf)
{
    constexpr int kIconSize = 20;
    const QString list = runOnPdf(QStringLiteral("pdfimages"), {QStringLiteral("-list"), QStringLiteral("{pdf}")}, pdf);
    QList<QSize> sizes;
    // "page num type width height …", after two header lines.
    for (const QString &line : list.split(QLatin1Char('\n'), Qt::SkipEmptyParts).mid(2)) {
        const QStringList columns = wordsOf(line);
        if (columns.size() < 5 || columns[2] != QLatin1String("image"))
            continue;
        const QSize size(columns[3].toInt(), columns[4].toInt());
        if (size.width() > kIconSize || size.height() > kIconSize)
            sizes.append(size);
    }
    return sizes;
}

QList<PdfImage> pdfImages(const QByteArray &pdf)
{
    const QString list = runOnPdf(QStringLiteral("pdfimages"), {QStringLiteral("-list"), QStringLiteral("{pdf}")}, pdf);
    QList<PdfImage> images;
    // "page num type width height color comp bpc enc interp object ID x-ppi y-ppi …".
    for (const QString &line : list.split(QLatin1Char('\n'), Qt::SkipEmptyParts).mid(2)) {
        const QStringList columns = wordsOf(line);
        if (columns.size() < 14 || columns[2] != QLatin1String("image"))
            continue;
        images.append(
            {columns[0].toInt(), QSize(columns[3].toInt(), columns[4].toInt()), columns[12].toInt(), columns[8]});
    }
    return images;
}

QStringList pdfFontNames(const QByteArray &pdf)
{
    const QString list = runOnPdf(QStringLiteral("pdffonts"), {QStringLiteral("{pdf}")}, pdf);
    QStringList names;
    // "name type encoding emb sub uni object ID", after two header lines.
    for (const QString &line : list.split(QLatin1Char('\n'), Qt::SkipEmptyParts).mid(2))
        names.append(wordsOf(line).value(0));
    return names;
}

bool pdfHasType3Font(const QByteArray &pdf)
{
    return runOnPdf(QStringLiteral("pdffonts"), {QStringLiteral("{pdf}")}, pdf).contains(QStringLiteral(" Type 3 "));
}

int pdfPageCount(const QByteArray &pdf)
{
    return pdfInfo(pdf, QStringLiteral("Pages")).toInt();
}

std::vector<std::string> pdfLinkUris(const std::string &path)
{
    QPDF pdf;
    pdf.processFile(path.c_str());
    std::vector<std::string> uris;
    for (QPDFPageObjectHelper &page : QPDFPageDocumentHelper(pdf).getAllPages()) {
        for (QPDFAnnotationObjectHelper &annotation : page.getAnnotations("/Link")) {
            QPDFObjectHandle action = annotation.getObjectHandle().getKey("/A");
            if (action.isDictionary() && action.getKey("/URI").isString())
                uris.push_back(action.getKey("/URI").getStringValue());
        }
    }
    return uris;
}

void keepRendering(const QByteArray &pdf, const QString &name)
{
    const QString folder = qEnvironmentVariable("TESSALY_KEEP_RENDERINGS");
    if (folder.isEmpty())
        return;
    QDir().mkpath(folder);
    QFile copy(folder + QLatin1Char('/') + name + QStringLiteral(".pdf"));
    if (copy.open(QIODevice::WriteOnly))
        copy.write(pdf);
    runOnPdf(QStringLiteral("pdftoppm"),
             {QStringLiteral("-r"), QStringLiteral("60"), QStringLiteral("-l"), QStringLiteral("2"),
              QStringLiteral("-png"), QStringLiteral("{pdf}"), folder + QLatin1Char('/') + name},
             pdf);
}

QByteArray readWholeFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

QByteArray encodedImage(QSize size, Qt::GlobalColor colour, const char *format)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

namespace {

quint32 crc32Of(const QByteArray &bytes)
{
    quint32 crc = 0xFFFFFFFFu;
    for (const char byte : bytes) {
        crc ^= quint8(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void appendBigEndian(QByteArray &out, quint32 value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.append(char((value >> shift) & 0xFF));
}

void appendChunk(QByteArray &out, const char *type, const QByteArray &data)
{
    appendBigEndian(out, quint32(data.size()));
    const QByteArray typed = QByteArray(type) + data;
    out.append(typed);
    appendBigEndian(out, crc32Of(typed));
}

} // namespace

QByteArray pngHeaderClaiming(quint32 width, quint32 height)
{
    QByteArray png("\x89PNG\r\n\x1a\n", 8);
    QByteArray header;
    appendBigEndian(header, width);
    appendBigEndian(header, height);
    header.append("\x08\x02\x00\x00\x00", 5); // 8-bit RGB, no interlace
    appendChunk(png, "IHDR", header);
    appendChunk(png, "IDAT", QByteArray("\x78\x9c\x63\x00\x00\x00\x01\x00\x01", 9));
    appendChunk(png, "IEND", {});
    return png;
}

QStringList wordsOf(const QString &text)
{
    return text.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
}

} // namespace tessaly::test
