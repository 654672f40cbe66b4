// What a reader gets back from pages drawn by TextPageWriter and HeaderBlockPage: every word
// of every script, outline fonts only, whole lines on every page, links.
#include "mailconverter/textpages/TextPageWriter.h"

#include "mailconverter/render/HeaderBlockPage.h"
#include "mailconverter/render/PlainTextPage.h"
#include "mailconverter/textpages/MonospaceAsciiFace.h"

#include "tests/mailconverter/render/PdfProbe.h"
#include "tests/mailconverter/render/ScriptSamples.h"

#include <cairo-pdf.h>
#include <gtest/gtest.h>

#include <cmath>
#include <random>

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

/// A long plain body of ASCII lines that wrap in every way Pango wraps them: words longer than
/// a line, runs of spaces (leading, trailing, at the wrap), every punctuation mark, lines one
/// character short of, at and past the wrap width at each quote level, empty lines, tabs, and
/// every pair of printable characters.
std::vector<TextParagraph> asciiCorpus()
{
    const std::vector<std::string> words = {
        "the",          "quarterly", "report's", "budget",     "e-mail",     "and/or",
        "(see",         "below)",    "Hi!",      "really?",    "50%",        "$20",
        "a.b.c",        "x+y=z",     "<tag>",    "[1]",        "{ok}",       "|",
        "#3",           "@name",     "C:\\path", "\"quoted\"", "'single'",   "`tick`",
        "_under_",      "~tilde",    "^",        "*bold*",     "&",          ";",
        "--",           "...",       "1,000.50", "12:30",      "well-known", "http://example.com/a/b?c=d&e=f",
        "non-breaking", "-",         "/",        "x-",         "-y"};
    std::mt19937 random(24);
    const auto pick = [&](std::size_t count) { return std::size_t(random() % count); };
    std::string body;
    for (int line = 0; line < 320; ++line) {
        std::string text;
        const int quote = int(pick(5));
        for (int level = 0; level < quote; ++level)
            text += '>';
        if (quote > 0)
            text += ' ';
        const std::size_t kind = pick(10);
        if (kind == 0) {
            // A word longer than the line, of letters or of letters and digits.
            const std::size_t length = 80 + pick(150);
            for (std::size_t i = 0; i < length; ++i)
                text += pick(3) == 0 ? char('0' + pick(10)) : char('a' + pick(26));
        } else if (kind == 1) {
            text.clear(); // an empty line
        } else if (kind == 2) {
            // Around the wrap: 89 characters fill the column, one fewer per quote level.
            const int fill = 84 - quote - int(text.size()) + int(pick(10));
            text += std::string(std::size_t(std::max(fill, 0)), 'w');
            text += pick(2) ? " next" : "  ";
        } else {
            if (pick(4) == 0)
                text += std::string(1 + pick(6), ' ');
            const std::size_t count = 3 + pick(30);
            for (std::size_t i = 0; i < count; ++i) {
                text += words[pick(words.size())];
                text += pick(6) == 0 ? std::string(2 + pick(8), ' ') : std::string(" ");
            }
            if (pick(3) == 0)
                text.pop_back(); // no trailing space
            if (pick(12) == 0)
                text += "\tafter a tab";
        }
        body += text + '\n';
    }
    for (char first = ' '; first <= '~'; ++first) {
        for (char second = ' '; second <= '~'; ++second)
            body += std::string{first, second};
    }
    return plainTextParagraphs(body);
}

} // namespace

TEST(TextPageWriter, AsciiFastPathDrawsTheSamePagesAsPango)
{
    const std::vector<TextParagraph> paragraphs = asciiCorpus();
    // A page in Japanese puts its face first among the CJK faces and sets the language.
    for (const std::string language : {"", "ja"}) {
        const Result<QByteArray> fast = TextPageWriter(TextPageGeometry{}, language).write(paragraphs);
        const Result<QByteArray> general =
            TextPageWriter(TextPageGeometry{}, language, LineShaping::Always).write(paragraphs);
        ASSERT_TRUE(fast && general);
        const int pages = pdfPageCount(general.value());
        ASSERT_GE(pages, 5);
        EXPECT_EQ(pdfPageCount(fast.value()), pages) << language;
        EXPECT_EQ(pdfLayoutText(fast.value()), pdfLayoutText(general.value())) << language;
        // The same glyphs at the same places: not one pixel differs.
        for (int page = 1; page <= pages; ++page) {
            const QImage image = pdfPageImage(fast.value(), page);
            ASSERT_FALSE(image.isNull());
            EXPECT_TRUE(image == pdfPageImage(general.value(), page)) << language << ", page " << page;
        }
    }
}

TEST(TextPageWriter, AsciiFastPathTakesEveryPlainAsciiLineOfTheCorpus)
{
    // Without this, a fast path that always gave up would pass the test above.
    using namespace pangotext;
    cairo_surface_t *surface = cairo_pdf_surface_create_for_stream(nullptr, nullptr, 595, 842);
    const Cairo cr(cairo_create(surface));
    cairo_surface_destroy(surface);
    const Context context = contextFor(cr.get());
    const TextFaces faces({});
    const std::vector<TextParagraph> paragraphs = asciiCorpus();
    const std::optional<MonospaceAsciiFace> face =
        MonospaceAsciiFace::learn(context.get(), paragraphs.front().runs.front(), faces);
    ASSERT_TRUE(face);
    const TextPageGeometry page;
    int taken = 0;
    for (const TextParagraph &paragraph : paragraphs) {
        const std::string &text = paragraph.runs.front().text;
        if (!MonospaceAsciiFace::isPrintableAscii(text))
            continue;
        EXPECT_FALSE(face->lines(text, page.widthPoints - page.leftPoints - page.rightPoints - paragraph.indentPoints,
                                 pango_language_get_default())
                         .empty())
            << text;
        ++taken;
    }
    EXPECT_GT(taken, 300);
}

TEST(TextPageWriter, MonospacedLinesKeepTheFacesAdvanceAndWrapAfter89Characters)
{
    // Pango rounded each glyph's advance to a whole point (5.70 to 6 in 9.5 pt Liberation
    // Mono), so lines wrapped after 85 characters instead of the 89 the column holds.
    const QString fits = QString(84, QLatin1Char('x')) + QStringLiteral(" abcd");
    const QString wraps = QString(85, QLatin1Char('x')) + QStringLiteral(" abcd");
    const QString text = pdfText(written({paragraphOf(fits), paragraphOf(wraps)}));
    EXPECT_TRUE(
        text.startsWith(fits + QStringLiteral("\n") + QString(85, QLatin1Char('x')) + QStringLiteral("\nabcd\n")))
        << text.toStdString();
}

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
    } rows[] = {{"zh-CN", "WenQuanYi"}, {"zh-TW", "WenQuanYi"}, {"ja", "IPA"}, {"ko", "Nanum"}};
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
