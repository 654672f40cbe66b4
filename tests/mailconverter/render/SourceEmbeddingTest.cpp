#include "mailconverter/attachments/SourceEmbedding.h"

#include "mailconverter/html/BodySizeLimit.h"
#include "mailconverter/render/PdfMailConverter.h"
#include "tests/mailconverter/attachments/AttachmentTestFiles.h"
#include "tests/mailconverter/render/PdfProbe.h"

#include <QFile>
#include <QTemporaryDir>

#include <qpdf/Pl_Discard.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFWriter.hh>

#include <gtest/gtest.h>

using namespace tessaly;
using namespace tessaly::test;

TEST(SourceEmbedding, OnlyAFirstEnvelopeLineIsDropped)
{
    EXPECT_EQ(withoutEnvelopeLine("From a@b Mon Jan  1 00:00:00 2021\r\nFrom: a@b\r\n"), "From: a@b\r\n");
    EXPECT_EQ(withoutEnvelopeLine("From: a@b\r\n\r\nFrom here on\r\n"), "From: a@b\r\n\r\nFrom here on\r\n");
    EXPECT_EQ(withoutEnvelopeLine(">From a@b\r\nX: y\r\n"), ">From a@b\r\nX: y\r\n");
    EXPECT_EQ(withoutEnvelopeLine("From a@b with no line end"), "");
    EXPECT_EQ(messageSourceName("/out/Inbox.mbox/Grüße (2).pdf"), "Grüße (2).eml");
}

namespace {

class SourceEmbeddingConverterTest : public ::testing::Test
{
protected:
    void SetUp() override { converter().setEmbedsSource(true); }
    void TearDown() override { converter().setEmbedsSource(false); }
    static PdfMailConverter &converter() { return sharedPdfMailConverter(); }

    /// Converts the message file `bytes` to "<name>.pdf" with `options`; the PDF's path.
    std::string convert(const QByteArray &bytes, const std::string &options, const QString &name)
    {
        const QString source = m_folder.filePath(QStringLiteral("email-1.eml"));
        QFile file(source);
        file.open(QIODevice::WriteOnly);
        file.write(bytes);
        file.close();
        const Result<ConvertedMessage> converted = converter().Convert(
            source.toStdString(), m_folder.filePath(name + QStringLiteral(".pdf")).toStdString(), options);
        EXPECT_TRUE(converted.ok()) << (converted.ok() ? "" : converted.error().message);
        if (!converted.ok())
            return {};
        m_warnings = converted.value().warnings;
        return converted.value().writtenPath;
    }

    /// Every embedded file, as pdfdetach saves them, by name.
    std::map<std::string, std::string> detached(const std::string &pdfPath)
    {
        return tessaly::testing::detachAll(pdfPath, m_folder.filePath(QStringLiteral("detached")).toStdString());
    }

    QTemporaryDir m_folder;
    std::vector<std::string> m_warnings;
};

/// What `qpdf --check` does: read every object and write the whole file, with no warning.
void expectSoundPdf(QPDF &pdf)
{
    Pl_Discard discard;
    QPDFWriter writer(pdf);
    writer.setOutputPipeline(&discard);
    writer.write();
    EXPECT_FALSE(pdf.anyWarnings());
}

const QByteArray kEnvelope = "From sender@example.com Mon Jan  2 10:00:00 2023\r\n";

} // namespace

TEST_F(SourceEmbeddingConverterTest, TheMessageTravelsByteForByteAsTheSourceBesideItsAttachments)
{
    // 8-bit headers, a NUL in the body, and an attachment that claims the source's own name.
    const QByteArray message = QByteArray("From: J\xf6rg <j@example.org>\r\nSubject: Caf\xe9 \xe2\x82\xac\r\n"
                                          "Date: Fri, 05 Mar 2021 14:07:00 -0530\r\nMIME-Version: 1.0\r\n"
                                          "Content-Type: multipart/mixed; boundary=b\r\n\r\n--b\r\n"
                                          "Content-Type: text/plain\r\n\r\nbefore") +
                               '\0' +
                               "after\r\n--b\r\n"
                               "Content-Type: text/plain; name=Report.eml\r\n"
                               "Content-Disposition: attachment; filename=Report.eml\r\n\r\nattached\r\n--b--\r\n\r\n";
    const std::string pdfPath = convert(kEnvelope + message, "-c PDF -attach", QStringLiteral("Report"));
    ASSERT_FALSE(pdfPath.empty());

    const std::map<std::string, std::string> files = detached(pdfPath);
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files.at("Report.eml"), "attached");
    EXPECT_EQ(files.begin()->first == "Report.eml" ? std::next(files.begin())->second : files.begin()->second,
              message.toStdString());

    QPDF pdf;
    pdf.setSuppressWarnings(true);
    pdf.processFile(pdfPath.c_str());
    QPDFObjectHandle associated = pdf.getRoot().getKey("/AF");
    ASSERT_TRUE(associated.isArray());
    ASSERT_EQ(associated.getArrayNItems(), 1);
    QPDFObjectHandle fileSpec = associated.getArrayItem(0);
    EXPECT_EQ(fileSpec.getKey("/AFRelationship").getName(), "/Source");
    QPDFObjectHandle stream = fileSpec.getKey("/EF").getKey("/F");
    EXPECT_EQ(stream.getDict().getKey("/Subtype").getName(), "/message/rfc822");
    QPDFObjectHandle params = stream.getDict().getKey("/Params");
    EXPECT_EQ(params.getKey("/Size").getIntValue(), message.size());
    EXPECT_EQ(params.getKey("/ModDate").getUTF8Value(), "D:20210305140700-05'30'");
    EXPECT_TRUE(params.getKey("/CheckSum").isString());
    expectSoundPdf(pdf);
}

TEST_F(SourceEmbeddingConverterTest, AMessageOverTheBodyLimitCarriesItsTextOnceInItsSource)
{
    QByteArray body;
    for (int line = 1; body.size() < qsizetype(kMaxBodyBytes + kMaxBodyBytes / 4); ++line)
        body += "line " + QByteArray::number(line) + " of a body far longer than anyone will read\r\n";
    const QByteArray message = "From: a@example.org\r\nSubject: Huge\r\n\r\n" + body + "\r\n";
    const std::string pdfPath = convert(kEnvelope + message, "-c pdf", QStringLiteral("Huge"));
    ASSERT_FALSE(pdfPath.empty());

    const std::map<std::string, std::string> files = detached(pdfPath);
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files.begin()->first, "Huge.eml");
    EXPECT_TRUE(files.begin()->second == message.toStdString()); // not EXPECT_EQ: a failure must not print megabytes
    EXPECT_TRUE(pdfText(readWholeFile(QString::fromStdString(pdfPath))).contains(QStringLiteral("\"Huge.eml\"")));
    ASSERT_EQ(m_warnings.size(), 1u);
    EXPECT_NE(m_warnings[0].find("'Huge.eml'"), std::string::npos) << m_warnings[0];
}
