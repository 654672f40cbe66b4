#include "mailconverter/pdf/PdfFinisher.h"

#include "mailconverter/pdf/TextMapRepair.h"
#include "mailconverter/render/WebEngineRenderer.h"
#include "mailconverter/textpages/PageSetup.h"
#include "mailconverter/textpages/TextPageWriter.h"
#include "tests/mailconverter/render/PdfProbe.h"
#include "tests/mailconverter/render/ScriptSamples.h"

#include <QDir>
#include <QImage>
#include <QTimeZone>
#include <QXmlStreamReader>

#include <map>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFWriter.hh>

#include <gtest/gtest.h>

using namespace tessaly;
using namespace tessaly::test;

TEST(PdfFinisher, PdfDatesKeepTheMessagesOffset)
{
    const QDate day(2023, 3, 5);
    const QTime time(14, 7, 9);
    EXPECT_EQ(pdfDate(QDateTime(day, time, Qt::OffsetFromUTC, -(5 * 3600 + 30 * 60))), "D:20230305140709-05'30'");
    EXPECT_EQ(pdfDate(QDateTime(day, time, Qt::UTC)), "D:20230305140709+00'00'");
}

namespace {

/// The text of every property of an XMP packet, by its namespace and name.
std::map<QString, QString> xmpValues(const std::string &packet, QString &parseError)
{
    std::map<QString, QString> values;
    QXmlStreamReader xml(QByteArray::fromStdString(packet));
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QString key = xml.namespaceUri().toString() + xml.name().toString();
        // The packet's frame and RDF's containers hold the properties.
        if (key.startsWith(QStringLiteral("adobe:ns:meta/")) ||
            key.startsWith(QStringLiteral("http://www.w3.org/1999/02/22-rdf-syntax-ns#")))
            continue;
        const QString text = xml.readElementText(QXmlStreamReader::IncludeChildElements);
        values[key] = text;
    }
    parseError = xml.hasError() ? xml.errorString() : QString();
    return values;
}

} // namespace

TEST(PdfFinisher, DocumentInfoShowsTheMessageAndTheFileStaysValid)
{
    TextRun text;
    text.text = "body";
    TextParagraph body;
    body.runs.push_back(text);
    const Result<QByteArray> rendered = TextPageWriter(TextPageGeometry{}, {}).write({body});
    ASSERT_TRUE(rendered.ok());
    PdfFinishing finishing;
    finishing.metadata.title = QStringLiteral("Grüße – Отчёт 会議");
    finishing.metadata.author = QStringLiteral("Zoë Müller");
    finishing.metadata.created = QDateTime(QDate(2021, 3, 5), QTime(14, 7), Qt::OffsetFromUTC, 3600);
    finishing.metadata.messageId = QStringLiteral("a<&>\"b\x01@example.org");
    finishing.metadata.mailboxFileName = QStringLiteral("Posteingang & <Archiv>.mbox");
    finishing.minimumPdfVersion = "1.7";
    const Result<std::string> finished = finishPdf(rendered.value(), finishing);
    ASSERT_TRUE(finished.ok()) << finished.error().message;

    const QByteArray pdf = QByteArray::fromStdString(finished.value());
    EXPECT_EQ(pdfInfo(pdf, QStringLiteral("Title")), finishing.metadata.title);
    EXPECT_EQ(pdfInfo(pdf, QStringLiteral("Author")), finishing.metadata.author);
    EXPECT_EQ(pdfInfo(pdf, QStringLiteral("PDF version")), QStringLiteral("1.7"));
    EXPECT_TRUE(pdfText(pdf).contains(QStringLiteral("body")));

    QPDF reread;
    reread.setSuppressWarnings(true);
    reread.processMemoryFile("finished", pdf.constData(), size_t(pdf.size()));
    EXPECT_EQ(reread.getAllPages().size(), 1u);
    EXPECT_FALSE(reread.anyWarnings());

    // The XMP packet parses and says what the document info says, escaped where XML needs it.
    QPDFObjectHandle metadata = reread.getRoot().getKey("/Metadata");
    ASSERT_TRUE(metadata.isStream());
    EXPECT_EQ(metadata.getDict().getKey("/Subtype").getName(), "/XML");
    const std::shared_ptr<Buffer> packet = metadata.getStreamData();
    QString parseError;
    std::map<QString, QString> xmp =
        xmpValues(std::string(reinterpret_cast<const char *>(packet->getBuffer()), packet->getSize()), parseError);
    EXPECT_TRUE(parseError.isEmpty()) << parseError.toStdString();
    const QString dc = QStringLiteral("http://purl.org/dc/elements/1.1/");
    const QString own = QStringLiteral("urn:tessaly:email:1.0#");
    EXPECT_EQ(xmp[dc + QStringLiteral("title")], finishing.metadata.title);
    EXPECT_EQ(xmp[dc + QStringLiteral("creator")], finishing.metadata.author);
    EXPECT_EQ(xmp[QStringLiteral("http://ns.adobe.com/xap/1.0/CreateDate")],
              QStringLiteral("2021-03-05T14:07:00+01:00"));
    EXPECT_EQ(xmp[QStringLiteral("http://ns.adobe.com/pdf/1.3/Producer")], pdfInfo(pdf, QStringLiteral("Producer")));
    EXPECT_EQ(xmp[own + QStringLiteral("messageId")], QStringLiteral("a<&>\"b@example.org"));
    EXPECT_EQ(xmp[own + QStringLiteral("mailbox")], finishing.metadata.mailboxFileName);
    EXPECT_FALSE(
        QByteArray(reinterpret_cast<const char *>(packet->getBuffer()), int(packet->getSize())).contains("pdfaid"));
}

TEST(PdfFinisher, ObjectStreamsOnlyWhereThePdfsVersionAllowsThem)
{
    TextRun text;
    text.text = "body";
    TextParagraph body;
    body.runs.push_back(text);
    const Result<QByteArray> drawn = TextPageWriter(TextPageGeometry{}, {}).write({body});
    ASSERT_TRUE(drawn.ok());
    // As the web engine writes its pages: PDF 1.4, which has no object streams.
    QPDF older;
    older.processMemoryFile("drawn", drawn.value().constData(), std::size_t(drawn.value().size()));
    QPDFWriter writer(older);
    writer.setOutputMemory();
    writer.forcePDFVersion("1.4");
    writer.setObjectStreamMode(qpdf_o_disable);
    writer.write();
    const std::shared_ptr<Buffer> written = writer.getBufferSharedPointer();
    const QByteArray rendered(reinterpret_cast<const char *>(written->getBuffer()), qsizetype(written->getSize()));
    const struct
    {
        const char *minimumVersion;
        const char *version;
        bool objectStreams;
    } rows[] = {{"", "1.4", false}, {"1.5", "1.5", true}, {"1.7", "1.7", true}};
    for (const auto &row : rows) {
        PdfFinishing finishing;
        finishing.minimumPdfVersion = row.minimumVersion;
        const Result<std::string> finished = finishPdf(rendered, finishing);
        ASSERT_TRUE(finished.ok()) << finished.error().message;
        const QByteArray pdf = QByteArray::fromStdString(finished.value());
        EXPECT_EQ(pdfInfo(pdf, QStringLiteral("PDF version")), QLatin1String(row.version));
        EXPECT_EQ(pdf.contains("/Type /ObjStm"), row.objectStreams) << row.version;
        EXPECT_TRUE(pdfText(pdf).contains(QStringLiteral("body"))) << row.version;
    }
}

TEST(PdfFinisher, ChromiumsVowelledAndPointedWordsComeBackWholeFromAnUnchangedPage)
{
    // Skia draws a right-to-left letter's marks first, and poppler gave the marks back apart. In
    // faces, sizes, spacings and a justified cell of their own, each word comes back every time.
    WebEngineRenderer &renderer = sharedWebEngineRenderer();
    for (const ScriptSample &sample : markedRightToLeftSamples()) {
        const MessageHost host = renderer.openMessage();
        const QString html =
            QStringLiteral(
                "<!DOCTYPE html><meta charset=\"utf-8\"><p>%1</p><p>%1 end</p>"
                "<p style='font-size:30px;letter-spacing:2px'><b>%1</b> and <i>%1</i></p>"
                "<table border=1><tr><td dir=rtl style='text-align:justify;width:120px'>%1 %1 %1</td></tr></table>"
                "<p style='font-family:serif'>%1</p><p style='font-family:monospace;font-size:9px'>%1</p>")
                .arg(sample.text);
        const Result<QByteArray> printed = renderer.render(host, html.toUtf8(), {}, defaultPageLayout());
        ASSERT_TRUE(printed.ok()) << printed.error().message;
        const Result<std::string> finished = finishPdf(printed.value(), PdfFinishing{});
        ASSERT_TRUE(finished.ok()) << finished.error().message;
        const QByteArray pdf = QByteArray::fromStdString(finished.value());
        const QString text = searchForm(pdfText(pdf));
        for (const QString &word : wordsOf(sample.text))
            EXPECT_EQ(text.count(searchForm(word)), 9) << sample.language << ": " << word.toStdString();
        EXPECT_EQ(pdfPageImage(pdf, 1), pdfPageImage(printed.value(), 1)) << sample.language;
    }
}

TEST(PdfFinisher, NotAPdfIsAnErrorNotAnException)
{
    const Result<std::string> finished = finishPdf("%PDF-1.4 truncated", PdfFinishing{});
    ASSERT_FALSE(finished.ok());
    EXPECT_NE(finished.error().message.find("cannot finish the PDF"), std::string::npos);
}

TEST(TextMapRepair, CompatibilityFormsInDestinationsBecomeWhatWasTyped)
{
    const std::pair<std::string_view, std::string_view> cases[] = {
        // As Qt writes its maps: one array of destinations per range.
        {"2 beginbfrange\n<0000> <0000> <0000>\n"
         "<0001> <0004> [<4F1A> <2F47> <FB01> <FEFB> ]\nendbfrange\n"
         "1 beginbfchar\n<0005> <2F47>\nendbfchar\n",
         "2 beginbfrange\n<0000> <0000> <0000>\n"
         "<0001> <0004> [<4F1A> <65E5> <00660069> <06440627> ]\nendbfrange\n"
         "1 beginbfchar\n<0005> <65E5>\nendbfchar\n"},
        // Ranges that count up, and source codes, stay as they are.
        {"1 beginbfrange\n<2F47> <2F48> <2F47>\n<0009> <0009> <2F47>\nendbfrange\n"
         "1 beginbfchar\n<2F47> <0041>\nendbfchar\n",
         "1 beginbfrange\n<2F47> <2F48> <2F47>\n<0009> <0009> <65E5>\nendbfrange\n"
         "1 beginbfchar\n<2F47> <0041>\nendbfchar\n"},
    };
    for (const auto &[cmap, expected] : cases)
        EXPECT_EQ(repairedToUnicodeMap(std::string(cmap)), expected) << cmap;
}
