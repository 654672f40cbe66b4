// What a reader of a PDF sees, through poppler's command-line tools.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QSize>
#include <QString>
#include <QStringList>

#include <string>
#include <vector>

namespace tessaly {
class PdfMailConverter;
class WebEngineRenderer;
} // namespace tessaly

namespace tessaly::test {

/// One renderer for all tests of a run, released before the application ends.
WebEngineRenderer &sharedWebEngineRenderer();
/// One converter for all tests of a run, as for a whole run, released likewise.
PdfMailConverter &sharedPdfMailConverter();

/// The PDF's text as pdftotext gives it (reading order, no layout).
QString pdfText(const QByteArray &pdf);
/// The PDF's text as pdftotext -layout gives it: each line at its place, in spaces.
QString pdfLayoutText(const QByteArray &pdf);
/// The text of one page (from 1), as pdftotext gives it.
QString pdfPageText(const QByteArray &pdf, int page);
/// One page (from 1) drawn by pdftoppm at `dpi`, in grey; a null image when it cannot be.
QImage pdfPageImage(const QByteArray &pdf, int page, int dpi = 60);
/// pdfinfo's "Key: value" lines, e.g. pdfInfo(pdf, "Title").
QString pdfInfo(const QByteArray &pdf, const QString &key);
/// The pixel sizes of the images pdfimages -list finds, leaving out soft masks and the
/// browser's small broken-image icons.
QList<QSize> pdfImageSizes(const QByteArray &pdf);
/// An image pdfimages -list finds: the page it is on (from 1), its pixels, its horizontal
/// pixels per inch as drawn, and how it is stored ("image" for deflated pixels, "jpeg").
struct PdfImage
{
    int page = 0;
    QSize size;
    int xPpi = 0;
    QString encoding;
};
/// Every image pdfimages -list finds, soft masks left out, in page order.
QList<PdfImage> pdfImages(const QByteArray &pdf);
/// The names of the fonts pdffonts lists ("ABCDEF+LiberationSans" for a subset).
QStringList pdfFontNames(const QByteArray &pdf);
/// Whether pdffonts lists a Type 3 font, whose glyphs are drawings rather than outlines.
bool pdfHasType3Font(const QByteArray &pdf);
/// The page count pdfinfo reports.
int pdfPageCount(const QByteArray &pdf);
/// The URIs of the link annotations on every page of the PDF at `path`, page by page.
std::vector<std::string> pdfLinkUris(const std::string &path);
/// Writes the PDF and its first two pages as PNGs at 60 dpi (for looking at) when the
/// environment variable TESSALY_KEEP_RENDERINGS names a folder; does nothing otherwise.
void keepRendering(const QByteArray &pdf, const QString &name);

QByteArray readWholeFile(const QString &path);
/// An image of `size` filled with `colour`, encoded as `format` ("PNG", "JPEG").
QByteArray encodedImage(QSize size, Qt::GlobalColor colour, const char *format = "PNG");
/// A PNG whose header claims `width` × `height` pixels, followed by a few bytes of data:
/// what a decompression bomb looks like to a decoder that trusts the header.
QByteArray pngHeaderClaiming(quint32 width, quint32 height);
/// The words of `text`, split at white space.
QStringList wordsOf(const QString &text);

} // namespace tessaly::test
