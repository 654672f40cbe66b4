#include "tests/mailconverter/bundle/BundleTestFiles.h"

#include "mailconverter/attachments/AttachmentEmbedder.h"
#include "mailconverter/attachments/SourceEmbedding.h"
#include "mailconverter/textpages/TextPageWriter.h"

#include <QProcess>
#include <QRegularExpression>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFWriter.hh>

#include <fstream>

namespace tessaly::test {

void writeMessagePdf(const std::string &path, int number, const MessagePdfShape &shape)
{
    TextPageGeometry geometry;
    if (shape.letter) {
        geometry.widthPoints = 612;
        geometry.heightPoints = 792;
    }
    std::vector<TextParagraph> paragraphs;
    for (int line = 1; line <= shape.lines; ++line) {
        TextParagraph paragraph;
        TextRun run;
        run.text = "Body " + std::to_string(number) + " line " + std::to_string(line);
        paragraph.runs.push_back(run);
        paragraphs.push_back(paragraph);
    }
    const Result<QByteArray> pdf = TextPageWriter(geometry, {}).write(paragraphs);
    QPDF document;
    document.processMemoryFile("message", pdf.value().constData(), std::size_t(pdf.value().size()));
    std::vector<AttachmentFile> files;
    for (const auto &[name, bytes] : shape.files)
        files.push_back({name, "application/octet-stream", bytes});
    if (!files.empty())
        (void)embedAttachments(document, files, {});
    if (shape.linksToEnd) {
        std::vector<QPDFObjectHandle> pages = document.getAllPages();
        QPDFObjectHandle end = QPDFObjectHandle::parse("[null /XYZ 0 700 null]");
        end.setArrayItem(0, pages.back());
        QPDFObjectHandle root = document.getRoot();
        root.replaceKey("/Dests", QPDFObjectHandle::newDictionary({{"/end", end}}));
        QPDFObjectHandle tree = QPDFObjectHandle::parse("<< /Names [(end) null] >>");
        tree.getKey("/Names").setArrayItem(1, end);
        root.replaceKey("/Names", QPDFObjectHandle::newDictionary({{"/Dests", tree}}));
        pages.front().replaceKey(
            "/Annots", QPDFObjectHandle::parse("[<< /Type /Annot /Subtype /Link /Rect [40 700 200 720] /Dest /end >> "
                                               "<< /Type /Annot /Subtype /Link /Rect [40 650 200 670] "
                                               "/A << /S /GoTo /D (end) >> >>]"));
    }
    if (shape.cropBottom > 0) {
        for (QPDFObjectHandle page : document.getAllPages()) {
            page.replaceKey("/CropBox", QPDFObjectHandle::newArray(QPDFObjectHandle::Rectangle(
                                            0, shape.cropBottom, geometry.widthPoints, geometry.heightPoints)));
        }
    }
    if (!shape.source.empty())
        (void)embedMessageSource(document, shape.source, std::to_string(number) + ".eml", {});
    QPDFWriter writer(document, path.c_str());
    prepareWriterForEmbeddedFiles(writer);
    writer.write();
}

QByteArray toolOutput(const QString &program, const QStringList &arguments, int *exitCode)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(120000);
    if (exitCode)
        *exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return process.readAllStandardOutput();
}

std::vector<PlacedWord> placedWords(const std::string &pdfPath)
{
    const QString html = QString::fromUtf8(toolOutput(
        QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), QString::fromStdString(pdfPath), QStringLiteral("-")}));
    static const QRegularExpression pageTag(QString::fromLatin1(R"re(<page width="([\d.]+)" height="([\d.]+)">)re"));
    static const QRegularExpression wordTag(QString::fromLatin1(
        R"re(<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>)re"));
    std::vector<PlacedWord> words;
    int page = 0;
    double height = 0;
    for (const QString &line : html.split(QLatin1Char('\n'))) {
        if (const auto match = pageTag.match(line); match.hasMatch()) {
            ++page;
            height = match.captured(2).toDouble();
        } else if (const auto word = wordTag.match(line); word.hasMatch()) {
            words.push_back({page, word.captured(5), word.captured(1).toDouble(), word.captured(2).toDouble(),
                             word.captured(3).toDouble(), word.captured(4).toDouble(), height});
        }
    }
    return words;
}

} // namespace tessaly::test
