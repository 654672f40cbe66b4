// Small message PDFs for the bundle tests, drawn by TextPageWriter, and what poppler and qpdf
// read back from a bundle.
#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <string>
#include <vector>

namespace tessaly::test {

struct MessagePdfShape
{
    int lines = 3;                                          ///< body lines; about 60 fill an A4 page
    bool letter = false;                                    ///< US Letter rather than A4
    std::vector<std::pair<std::string, std::string>> files; ///< embedded files: name, bytes
    std::string source;                                     ///< an embedded message source, or empty
    /// Two links on page 1 to the last page by named destinations, as browsers write
    /// in-page links: /Dest with a name of the catalog's /Dests, and a GoTo action with a
    /// string of the /Names /Dests tree.
    bool linksToEnd = false;
    /// Points cut off the foot of each page by a crop box, or 0 for none.
    double cropBottom = 0;
};

/// Writes the PDF of message `number` per `shape` to `path`; its body lines read
/// "Body N line L".
void writeMessagePdf(const std::string &path, int number, const MessagePdfShape &shape);

/// The output of `program` with `arguments`; empty when it fails to run. `exitCode` gets its exit code.
QByteArray toolOutput(const QString &program, const QStringList &arguments, int *exitCode = nullptr);

/// One word as `pdftotext -bbox` places it: the page (from 1) and its box, y from the page's top.
struct PlacedWord
{
    int page = 0;
    QString text;
    double xMin = 0, yMin = 0, xMax = 0, yMax = 0;
    double pageHeight = 0;
};
std::vector<PlacedWord> placedWords(const std::string &pdfPath);

} // namespace tessaly::test
