// What a reader gets back from pages drawn by TextPageWriter and HeaderBlockPage: every word
// of every script, outline fonts only, whole lines on every page, links.
#include "mailconverter/render/TextPageWriter.h"

#include "mailconverter/render/HeaderBlockPage.h"

#include "tests/mailconverter/render/PdfProbe.h"
#include "tests/mailconverter/render/ScriptSamples.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace tessaly;
using namespace tessaly::test;

namespace {

TextParagraph paragraphOf(const QString &text, bool monospace = true)
{
    TextParagraph paragraph;
    TextRun run;
    run.text = text.toStdString();
    run.monospace = monospace;
    paragraph.runs.push_back(run);
    return paragraph;
}

QByteArray written(const std::vector<TextParagraph> &paragraphs, const std::string &language = {})
{
    const Result<QByteArray> pdf = TextPageWriter(TextPageGeometry{}, language).write(paragraphs);
    EXPECT_TRUE(pdf) << (pdf ? "" : pdf.error().message);
    return pdf ? pdf.value() : QByteArray();
}

void expectEveryWordBack(const QList<ScriptSample> &samples)
{
    for (const ScriptSample &sample : samples) {
        for (const bool monospace : {true, false}) {
            const QByteArray pdf = written({paragraphOf(sample.text, monospace)});
            const QString text = searchForm(pdfText(pdf));
            for (const QString &word : wordsOf(sample.text))
                EXPECT_TRUE(text.contains(searchForm(word))) << sample.language << (monospace ? " monospaced: " : ": ")
                                                             << word.toStdString() << " in " << text.toStdString();
            EXPECT_FALSE(pdfHasType3Font(pdf)) << sample.language;
        }
    }
}

} // namespace

TEST(TextPageWriter, EveryWordOfEveryScriptComesBackInOutlineFonts)
{
    // Word by word: a mark drawn apart from its letter still lets each character be found,
    // but not the word.
    expectEveryWordBack(scriptSamples() + shapedScriptSamples() + markedRightToLeftSamples());
}

TEST(TextPageWriter, HanInEachLanguageComesBackFromThatLanguagesFace)
{
    const struct
    {
        const char *language;
        const char *face;
    } rows[] = {{"zh-CN", "WenQuanYi"}, {"ja", "IPA"}, {"ko", "Nanum"}};
    for (const auto &row : rows) {
        const QByteArray pdf = written({paragraphOf(QStringLiteral("会議明日"))}, row.language);
        EXPECT_TRUE(pdfText(pdf).contains(QStringLiteral("会議明日"))) << row.language;
        EXPECT_TRUE(pdfFontNames(pdf).join(QLatin1Char(' ')).contains(QLatin1String(row.face)))
            << row.language << ": " << pdfFontNames(pdf).join(QLatin1Char(' ')).toStdString();
    }
}

TEST(TextPageWriter, LinesAreNeverCutOrLostAtPageBreaks)
{
    std::vector<TextParagraph> paragraphs;
    for (int line = 1; line <= 300; ++line)
        paragraphs.push_back(paragraphOf(QStringLiteral("line %1 of the report").arg(line)));
    // A line that wraps across the column, which must move to the next page whole.
    paragraphs.push_back(paragraphOf(QStringLiteral("wrapped ").repeated(60) + QStringLiteral("last")));
    const QByteArray pdf = written(paragraphs);
    ASSERT_GE(pdfPageCount(pdf), 4);
    const QString text = pdfText(pdf);
    for (int line = 1; line <= 300; ++line)
        EXPECT_TRUE(text.contains(QStringLiteral("line %1 of the report\n").arg(line))) << line;
    EXPECT_EQ(text.count(QStringLiteral("wrapped")), 60);
    EXPECT_TRUE(text.contains(QStringLiteral("last")));
}

TEST(TextPageWriter, RunsWithLinksBecomeLinkAnnotations)
{
    TextParagraph paragraph = paragraphOf(QStringLiteral("See "), false);
    TextRun link;
    link.text = "the report";
    link.link = "https://example.org/report?a=1&b='2'";
    paragraph.runs.push_back(link);
    const QByteArray pdf = written({paragraph});
    EXPECT_TRUE(pdfText(pdf).contains(QStringLiteral("See the report")));
    EXPECT_TRUE(pdf.contains("/URI (https://example.org/report?a=1&b='2')")) << pdf.left(4000).toStdString();
}

TEST(HeaderBlockPage, ValuesKeepTheirLinksLineBreaksAndEscapedCharacters)
{
    HeaderRow row;
    row.label = "Attachments";
    row.valueHtml = "<a href=\"report%20q1.pdf?a=1&amp;b=2\">report &lt;q1&gt;.pdf</a><span style=\"color:#666666\"> "
                    "(2 KB)</span><br>Tom &amp; Jerry&#39;s notes &#x263A;";
    const HeaderBlockPage page({row}, 500, {});
    const Result<QByteArray> pdf = page.pdf(500, std::ceil(page.heightPoints()), page.heightPoints());
    ASSERT_TRUE(pdf);
    const QString text = pdfText(pdf.value());
    for (const char *expected : {"Attachments:", "report <q1>.pdf (2 KB)", "Tom & Jerry's notes ☺"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(expected))) << expected << " in " << text.toStdString();
    EXPECT_TRUE(pdf.value().contains("/URI (report%20q1.pdf?a=1&b=2)"));
    // The line break makes a second line: the box is taller than for one.
    row.valueHtml = "report.pdf";
    EXPECT_GT(page.heightPoints(), HeaderBlockPage({row}, 500, {}).heightPoints() + 5);
}
