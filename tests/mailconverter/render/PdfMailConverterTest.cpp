#include "mailconverter/render/PdfMailConverter.h"

#include "mailconverter/render/WebEngineRenderer.h"
#include "tests/mailconverter/attachments/AttachmentTestFiles.h"
#include "tests/mailconverter/render/PdfProbe.h"
#include "tests/mailconverter/render/ScriptSamples.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTcpServer>
#include <QTemporaryDir>

#include <cstdlib>

#include <gtest/gtest.h>

using namespace tessaly;
using namespace tessaly::test;

namespace {

class PdfMailConverterTest : public ::testing::Test
{
protected:
    static PdfMailConverter &converter() { return sharedPdfMailConverter(); }

    QString writeMessage(const QByteArray &text, const QString &name = QStringLiteral("email-1.eml"))
    {
        const QString path = m_folder.filePath(name);
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(text);
        return path;
    }

    /// Converts `text` to "<name>.pdf" and returns the written PDF's bytes.
    QByteArray convert(const QByteArray &text, const std::string &options = "-c pdf",
                       const QString &name = QStringLiteral("message"))
    {
        const Result<ConvertedMessage> converted = converter().Convert(
            writeMessage(text).toStdString(), m_folder.filePath(name + QStringLiteral(".pdf")).toStdString(), options);
        EXPECT_TRUE(converted.ok()) << (converted.ok() ? "" : converted.error().message);
        if (!converted.ok())
            return {};
        m_warnings = converted.value().warnings;
        const QByteArray pdf = readWholeFile(QString::fromStdString(converted.value().writtenPath));
        keepRendering(pdf, name);
        return pdf;
    }

    QStringList filesInFolder() const { return QDir(m_folder.path()).entryList(QDir::Files, QDir::Name); }

    QTemporaryDir m_folder;
    std::vector<std::string> m_warnings;
};

QByteArray plainMessage(const QByteArray &subject, const QByteArray &body,
                        const QByteArray &contentType = "text/plain; charset=utf-8")
{
    return "From sender@example.com Mon Jan  2 10:00:00 2023\r\n"
           "From: Sender <sender@example.com>\r\nTo: someone@example.org\r\n"
           "Date: Fri, 05 Mar 2021 14:07:00 +0100\r\nSubject: " +
           subject +
           "\r\n"
           "MIME-Version: 1.0\r\nContent-Type: " +
           contentType + "\r\n\r\n" + body + "\r\n";
}

QByteArray htmlMessage(const QByteArray &subject, const QByteArray &html)
{
    return plainMessage(subject, html, "text/html; charset=utf-8");
}

void expectEveryWord(const ScriptSample &sample, const QByteArray &pdf, const char *kind)
{
    const QString text = searchForm(pdfText(pdf));
    for (const QString &word : wordsOf(sample.text))
        EXPECT_TRUE(text.contains(searchForm(word))) << kind << " " << sample.language << ": " << word.toStdString();
}

} // namespace

TEST_F(PdfMailConverterTest, EveryBodyWordComesBackFromPlainAndHtmlMessages)
{
    // One message per script, so that each takes the faces its language needs.
    for (const ScriptSample &sample : scriptSamples() + shapedScriptSamples() + markedRightToLeftSamples()) {
        QString name = QString::fromLatin1(sample.language);
        name.removeIf([](QChar c) { return !c.isLetter(); });
        const QByteArray body = sample.text.toUtf8();
        const QByteArray plain =
            convert(plainMessage("Scripts", body + "\n"), "-c pdf", name + QStringLiteral("-plain"));
        expectEveryWord(sample, plain, "plain");
        EXPECT_FALSE(pdfHasType3Font(plain)) << sample.language;
        // Chromium gave the vowelled and pointed words back apart from their marks.
        expectEveryWord(
            sample, convert(htmlMessage("Scripts", "<p>" + body + "</p>"), "-c pdf", name + QStringLiteral("-html")),
            "html");
        EXPECT_TRUE(m_warnings.empty());
    }
}

TEST_F(PdfMailConverterTest, PlainTextInChineseOrJapaneseCopiesOutAsTyped)
{
    // Qt's own PDF output gave these ideographs back as Kangxi radicals ("⽇" for "日").
    const QByteArray pdf = convert(plainMessage("日本の報告", "会議は明日の午後三時からです"), "-c pdf");
    const QString text = pdfText(pdf);
    EXPECT_TRUE(text.contains(QStringLiteral("会議は明日の午後三時からです"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("日本の報告"))) << text.toStdString();
}

TEST_F(PdfMailConverterTest, HeaderBlockShowsDecodedFieldsWhateverTheMessageStylesheetSays)
{
    const QByteArray hostileStyle =
        "<style>table,tr,td,th,div,span,p,header,tessaly-header{display:none!important}"
        "*{color:#fff!important;font-size:1px!important;visibility:hidden!important}</style><p>Body text</p>";
    const QByteArray message = "From: =?UTF-8?B?Wm/DqyBNw7xsbGVy?= <zoe@example.com>\r\n"
                               "To: =?ISO-8859-1?Q?Ren=E9?= <rene@example.org>\r\n"
                               "Cc: Copy <copy@example.org>\r\n"
                               "Date: Fri, 05 Mar 2021 14:07:00 +0100\r\n"
                               "Subject: =?UTF-8?Q?Gr=C3=BC=C3=9Fe_aus_M=C3=BCnchen?=\r\n"
                               "MIME-Version: 1.0\r\nContent-Type: text/html; charset=utf-8\r\n\r\n" +
                               hostileStyle + "\r\n";
    const QByteArray pdf = convert(message, "-c pdf", QStringLiteral("headers"));
    const QString text = pdfText(pdf);
    for (const char *expected : {"Zoë Müller", "René", "Copy", "Grüße aus München", "2021", "14:07"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(expected))) << expected << "\n" << text.toStdString();

    EXPECT_EQ(pdfInfo(pdf, QStringLiteral("Title")), QStringLiteral("Grüße aus München"));
    EXPECT_EQ(pdfInfo(pdf, QStringLiteral("Author")), QStringLiteral("Zoë Müller"));
    EXPECT_EQ(pdfInfo(pdf, QStringLiteral("CreationDate")), QStringLiteral("2021-03-05T14:07:00+01"));
    EXPECT_EQ(pdfInfo(pdf, QStringLiteral("Producer")), QStringLiteral("Tessaly"));
}

TEST_F(PdfMailConverterTest, InlineImageIsDrawnFromTheMessage)
{
    const QByteArray png = encodedImage(QSize(160, 90), Qt::darkCyan).toBase64();
    const QByteArray message =
        "From: Outlook User <user@example.com>\r\nDate: Fri, 05 Mar 2021 14:07:00 +0100\r\nSubject: Logo\r\n"
        "MIME-Version: 1.0\r\nContent-Type: multipart/related; boundary=\"rel\"\r\n\r\n"
        "--rel\r\nContent-Type: text/html; charset=utf-8\r\n\r\n"
        "<html><head><style>@page WordSection1{size:612.0pt 792.0pt}div.WordSection1{page:WordSection1}</style></head>"
        "<body><div class=WordSection1><p class=MsoNormal>See the logo:</p><img "
        "src=\"cid:image001.png@01D7\"></div></body></html>\r\n"
        "--rel\r\nContent-Type: image/png\r\nContent-ID: <image001.png@01D7>\r\nContent-Transfer-Encoding: "
        "base64\r\n\r\n" +
        png + "\r\n--rel--\r\n";
    const QByteArray pdf = convert(message, "-c pdf", QStringLiteral("outlook"));
    EXPECT_TRUE(pdfImageSizes(pdf).contains(QSize(160, 90)));
    // The Word page rule must not push the body onto a second page.
    EXPECT_EQ(pdfPageCount(pdf), 1);
    EXPECT_NE(pdfInfo(pdf, QStringLiteral("Page size")).indexOf(QStringLiteral("A4")), -1);
}

TEST_F(PdfMailConverterTest, ImagesOfTextPagesAreDrawnAtACssPixelAndScaledDownToFitTheirPage)
{
    QByteArray message = plainMessage("Images", "--b\r\nContent-Type: text/plain\r\n\r\nImages follow.\r\n",
                                      "multipart/mixed; boundary=\"b\"");
    struct Part
    {
        const char *name;
        QByteArray bytes;
    };
    for (const Part &part : {Part{"small.jpeg", encodedImage(QSize(40, 30), Qt::red, "JPEG")},
                             Part{"bomb.png", pngHeaderClaiming(100000, 100000)},
                             Part{"wide.jpg", encodedImage(QSize(2000, 50), Qt::green, "JPEG")},
                             Part{"tall.png", encodedImage(QSize(60, 3000), Qt::blue)}})
        message += "--b\r\nContent-Type: image/" + QByteArray(part.name).split('.').last() +
                   "\r\nContent-Disposition: inline; filename=\"" + part.name +
                   "\"\r\nContent-Transfer-Encoding: base64\r\n\r\n" + part.bytes.toBase64() + "\r\n";
    message += "--b--\r\n";
    const QList<PdfImage> images = pdfImages(convert(message, "-c pdf", QStringLiteral("images")));
    ASSERT_EQ(images.size(), 3);
    // Never larger than a CSS pixel to 0.75 pt, as the web engine draws them.
    for (const PdfImage &image : images)
        EXPECT_NEAR(image.xPpi, 96, 1);
    EXPECT_EQ(images[0].page, 1);
    EXPECT_EQ(images[0].size, QSize(40, 30));
    EXPECT_EQ(images[0].encoding, QStringLiteral("jpeg")); // the file itself, not its pixels deflated
    // As wide as the column, and decoded no larger.
    EXPECT_EQ(images[1].page, 1);
    EXPECT_NEAR(images[1].size.width(), 680, 2);
    // As tall as a page's column: on a page of its own.
    EXPECT_EQ(images[2].page, 2);
    EXPECT_NEAR(images[2].size.height(), 1009, 2);
}

TEST_F(PdfMailConverterTest, RemoteContentMakesNoNetworkRequest)
{
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    const QByteArray origin = "http://127.0.0.1:" + QByteArray::number(server.serverPort());
    const QByteArray body = "<img src=\"" + origin +
                            "/track.gif\" alt=\"tracker\">"
                            "<div style=\"background-image:url(" +
                            origin +
                            "/bg.png)\">Newsletter</div>"
                            "<link rel=stylesheet href=\"" +
                            origin + "/s.css\"><iframe src=\"" + origin + "/f\"></iframe>";
    const QByteArray pdf = convert(htmlMessage("Newsletter", body), "-c pdf", QStringLiteral("remote"));
    QCoreApplication::processEvents();
    EXPECT_FALSE(server.hasPendingConnections());
    EXPECT_TRUE(pdfText(pdf).contains(QStringLiteral("Newsletter")));
}

TEST_F(PdfMailConverterTest, FontsInDataUrlsAreNotLoadedButImagesAre)
{
    // Thousands of such fonts took a worker past its memory limit, and each one drawn became a
    // font in the PDF. Message fonts are not needed to show the mail; its images are.
    const QByteArray font = readWholeFile(QStringLiteral("/usr/share/fonts/truetype/crosextra/Caladea-Bold.ttf"));
    ASSERT_FALSE(font.isEmpty()) << "fonts-crosextra-caladea is not installed";
    const QByteArray body = "<style>@font-face{font-family:Payload;src:url(data:font/ttf;base64," + font.toBase64() +
                            ")}</style><p style=\"font-family:Payload\">Drawn in a font of our own</p>"
                            "<img src=\"data:image/png;base64," +
                            encodedImage(QSize(140, 70), Qt::darkGreen).toBase64() + "\">";
    const QByteArray pdf = convert(htmlMessage("Fonts", body), "-c pdf", QStringLiteral("data-font"));
    EXPECT_TRUE(pdfText(pdf).contains(QStringLiteral("Drawn in a font of our own")));
    EXPECT_TRUE(pdfFontNames(pdf).filter(QStringLiteral("Caladea")).isEmpty())
        << pdfFontNames(pdf).join(u' ').toStdString();
    EXPECT_TRUE(pdfImageSizes(pdf).contains(QSize(140, 70)));
}

TEST_F(PdfMailConverterTest, DamagedMessagesStillGiveSensiblePdfs)
{
    // A multipart whose boundary never comes, and a part header cut short.
    const QByteArray broken = "From: a@example.com\r\nSubject: Broken\r\nMIME-Version: 1.0\r\n"
                              "Content-Type: multipart/mixed; boundary=\"never\"\r\n\r\n"
                              "Preamble text survives\r\n--nev\r\nContent-Type: text/pla";
    EXPECT_TRUE(pdfText(convert(broken, "-c pdf", QStringLiteral("broken"))).contains(QStringLiteral("Broken")));

    const QByteArray noBody = "From: Only Headers <h@example.com>\r\nSubject: Nothing inside\r\n\r\n";
    const QString noBodyText = pdfText(convert(noBody, "-c pdf", QStringLiteral("nobody")));
    EXPECT_TRUE(noBodyText.contains(QStringLiteral("Nothing inside")));
    EXPECT_TRUE(noBodyText.contains(QStringLiteral("Only Headers")));
}

TEST_F(PdfMailConverterTest, OnlyTheThreeOptionsTextsAreAccepted)
{
    const std::string source = writeMessage(plainMessage("Options", "text")).toStdString();
    for (const char *options : {"-c pdf", "-c PDF -attach", "-c PDF -sattach"}) {
        const std::string destination =
            m_folder.filePath(QString::fromLatin1(options) + QStringLiteral(".pdf")).toStdString();
        const Result<ConvertedMessage> converted = converter().Convert(source, destination, options);
        EXPECT_TRUE(converted.ok()) << options;
    }
    const QStringList before = filesInFolder();
    for (const char *options : {"-c PDF", "-c pdf -attach", "", "-c  pdf"}) {
        const Result<ConvertedMessage> converted =
            converter().Convert(source, m_folder.filePath(QStringLiteral("bad.pdf")).toStdString(), options);
        ASSERT_FALSE(converted.ok()) << options;
        EXPECT_NE(converted.error().message.find(std::string("'") + options + "'"), std::string::npos)
            << converted.error().message;
    }
    EXPECT_EQ(filesInFolder(), before);
}

TEST_F(PdfMailConverterTest, FailureLeavesNoFileBehind)
{
    const QStringList before = filesInFolder();
    const Result<ConvertedMessage> converted =
        converter().Convert(m_folder.filePath(QStringLiteral("missing.eml")).toStdString(),
                            m_folder.filePath(QStringLiteral("x.pdf")).toStdString(), "-c pdf");
    ASSERT_FALSE(converted.ok());
    EXPECT_NE(converted.error().message.find("missing.eml"), std::string::npos) << converted.error().message;
    EXPECT_EQ(filesInFolder(), before);
}

TEST_F(PdfMailConverterTest, HtmlBodyFallsBackToThePlainRendererWhenTheWebEngineGivesUp)
{
    WebEngineRenderer &web = converter().webEngineRenderer();
    web.setTimeout(std::chrono::milliseconds(1));
    const QByteArray pdf = convert(htmlMessage("Slow page", "<table><tr><td>Quarterly figures</td></tr></table>"),
                                   "-c pdf", QStringLiteral("fallback"));
    web.setTimeout(WebEngineRenderer::kDefaultTimeout);

    const QString text = pdfText(pdf);
    EXPECT_TRUE(text.contains(QStringLiteral("Quarterly figures")));
    EXPECT_TRUE(text.contains(QStringLiteral("Slow page")));
    ASSERT_EQ(m_warnings.size(), 1u);
    EXPECT_NE(m_warnings[0].find("plain-text renderer"), std::string::npos) << m_warnings[0];
}

TEST_F(PdfMailConverterTest, HtmlThatHidesAllItsTextIsDrawnByThePlainTextRenderer)
{
    // Chromium honours the style sheet and draws an empty page, which passed as converted.
    const QByteArray pdf = convert(htmlMessage("Hidden", "<style>body{display:none}</style><p>Quarterly figures</p>"),
                                   "-c pdf", QStringLiteral("hidden"));
    EXPECT_TRUE(pdfText(pdf).contains(QStringLiteral("Quarterly figures")));
    ASSERT_EQ(m_warnings.size(), 1u);
    EXPECT_NE(m_warnings[0].find("plain-text renderer"), std::string::npos) << m_warnings[0];
}

TEST_F(PdfMailConverterTest, HeaderBlockGivesBackEveryWordOfItsSubjectInAnyScript)
{
    // The subject went to Chromium for these, which gives pointed and vowelled words back apart.
    for (const ScriptSample &sample : markedRightToLeftSamples() + shapedScriptSamples()) {
        const QByteArray subject = "=?UTF-8?B?" + sample.text.toUtf8().toBase64() + "?=";
        for (const QByteArray &message :
             {plainMessage(subject, "Body text\n"), htmlMessage(subject, "<p>Body text</p>")}) {
            const QByteArray pdf = convert(message, "-c pdf");
            const QString text = searchForm(pdfText(pdf));
            for (const QString &word : wordsOf(sample.text))
                EXPECT_TRUE(text.contains(searchForm(word))) << sample.language << ": " << word.toStdString();
            EXPECT_FALSE(pdfHasType3Font(pdf)) << sample.language;
        }
    }
}
