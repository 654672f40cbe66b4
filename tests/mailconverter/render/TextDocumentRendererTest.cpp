#include "mailconverter/render/TextDocumentRenderer.h"

#include "mailconverter/html/PlainTextHtml.h"
#include "mailconverter/html/ScriptFonts.h"
#include "mailconverter/render/PageSetup.h"
#include "tests/mailconverter/render/PdfProbe.h"
#include "tests/mailconverter/render/ScriptSamples.h"

#include <QUrl>

#include <gtest/gtest.h>

using namespace tessaly;
using namespace tessaly::test;

namespace {

const QString kBase = QStringLiteral("tessaly://inline/cid/");

Result<QByteArray> renderHtml(const QString &body, const MessageResources &resources = {})
{
    return TextDocumentRenderer().render(QStringLiteral("<html><body>%1</body></html>").arg(body), resources, kBase,
                                         defaultPageLayout());
}

QString preformatted(const QString &text)
{
    return QStringLiteral("<pre style=\"white-space: pre-wrap\">%1</pre>").arg(text.toHtmlEscaped());
}

} // namespace

TEST(TextDocumentRenderer, EveryWordOfEveryScriptItKeepsIsSearchable)
{
    // Proportional text, where Qt would otherwise write "fi" as one ligature character, and
    // the monospaced lines of a plain-text body. Scripts Qt cannot give back go to Chromium.
    QString paragraphs;
    QString plain;
    QList<ScriptSample> kept;
    for (const ScriptSample &sample : scriptSamples()) {
        if (!qtPdfWriterKeepsText(sample.text.toStdString()))
            continue;
        kept.append(sample);
        paragraphs += QStringLiteral("<p>%1 😀</p>").arg(sample.text);
        plain += sample.text + QLatin1Char('\n');
    }
    const Result<QByteArray> pdf =
        renderHtml(paragraphs + QString::fromStdString(plainTextToHtml(plain.toStdString(), true)));
    ASSERT_TRUE(pdf.ok()) << pdf.error().message;
    keepRendering(pdf.value(), QStringLiteral("text-scripts"));

    // Each word is there twice: once proportional, once monospaced.
    const QString extracted = searchForm(withoutArabicPresentationForms(pdfText(pdf.value())));
    for (const ScriptSample &sample : kept) {
        for (const QString &word : wordsOf(sample.text))
            EXPECT_GE(extracted.count(searchForm(word)), 2) << sample.language << ": " << word.toStdString();
    }
    EXPECT_GE(kept.size(), 10);
}

TEST(TextDocumentRenderer, LongTextWrapsAndRunsOverPagesWithoutLosingLines)
{
    QString text;
    for (int line = 1; line <= 400; ++line)
        text += QStringLiteral("line %1 of the message\n").arg(line);
    // One line far wider than the page; every one of its words must still be on the page.
    for (int word = 1; word <= 150; ++word)
        text += QStringLiteral("w%1 ").arg(word);
    text += QStringLiteral("\n> quoted reply line\n");

    const Result<QByteArray> pdf = renderHtml(preformatted(text));
    ASSERT_TRUE(pdf.ok()) << pdf.error().message;
    keepRendering(pdf.value(), QStringLiteral("text-long"));
    EXPECT_GT(pdfPageCount(pdf.value()), 3);
    const QString extracted = pdfText(pdf.value());
    const QStringList words = wordsOf(extracted);
    EXPECT_TRUE(extracted.contains(QStringLiteral("line 1 of")));
    EXPECT_TRUE(extracted.contains(QStringLiteral("line 400 of")));
    EXPECT_TRUE(words.contains(QStringLiteral("w150")));
    EXPECT_TRUE(extracted.contains(QStringLiteral("> quoted reply line")));
    // Each line is on exactly one page: none is drawn twice at a page break.
    for (int line = 1; line <= 400; ++line)
        EXPECT_EQ(extracted.count(QStringLiteral("line %1 of").arg(line)), 1) << "line " << line;
}

TEST(TextDocumentRenderer, DrawsOnlyImagesOfTheMessageAndWithinLimits)
{
    MessageResources resources;
    resources.insert(QStringLiteral("small@x"),
                     MessageResource{"image/png", encodedImage(QSize(80, 60), Qt::darkGreen)});
    resources.insert(QStringLiteral("wide@x"),
                     MessageResource{"image/jpeg", encodedImage(QSize(4000, 300), Qt::blue, "JPEG")});
    resources.insert(QStringLiteral("huge@x"), MessageResource{"image/png", pngHeaderClaiming(100000, 100000)});
    resources.insert(QStringLiteral("junk@x"), MessageResource{"image/gif", "not an image at all"});
    const auto src = [](const char *id) {
        return kBase + QString::fromLatin1(QUrl::toPercentEncoding(QString::fromLatin1(id)));
    };
    const QString body = QStringLiteral("<img src=\"%1\"><img src=\"%2\"><img src=\"%3\"><img src=\"%4\">"
                                        "<img src=\"file:///etc/hostname\"><p>after the images</p>")
                             .arg(src("small@x"), src("wide@x"), src("huge@x"), src("junk@x"));
    const Result<QByteArray> pdf = renderHtml(body, resources);
    ASSERT_TRUE(pdf.ok()) << pdf.error().message;
    keepRendering(pdf.value(), QStringLiteral("text-images"));
    EXPECT_EQ(pdfImageSizes(pdf.value()).size(), 2);
    EXPECT_TRUE(pdfText(pdf.value()).contains(QStringLiteral("after the images")));
}
