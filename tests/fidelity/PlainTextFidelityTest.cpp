// Plain-text bodies keep the layout the sender typed: blank lines, indentation, tab stops,
// ASCII art, quotes and signatures, with long lines wrapped, in both renderers.
#include "tests/fidelity/FidelityHarness.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

using namespace tessaly::test;

namespace {

/// The plain-text sample as it is, and inside a mixed message after an HTML part, which
/// puts it on the web-engine page.
QList<RenderedMessage> plainLayoutRenderings()
{
    const QByteArray plain = fidelityMessage(QStringLiteral("plain-layout.eml"));
    const qsizetype split = plain.indexOf("\r\n\r\n");
    QByteArray headers = plain.left(split);
    headers.replace("Content-Type: text/plain; charset=utf-8", "Content-Type: multipart/mixed; boundary=\"b\"");
    const QByteArray mixed = headers +
                             "\r\n\r\n--b\r\nContent-Type: text/html; charset=utf-8\r\n\r\n<p>Cover note</p>\r\n"
                             "--b\r\nContent-Type: text/plain; charset=utf-8\r\n\r\n" +
                             plain.mid(split + 4) + "\r\n--b--\r\n";
    return {renderMessage(plain, QStringLiteral("plain-layout")),
            renderMessage(mixed, QStringLiteral("plain-layout-mixed"))};
}

int indexOfLine(const QStringList &lines, const QString &start)
{
    for (int i = 0; i < lines.size(); ++i) {
        if (lines[i].trimmed().startsWith(start))
            return i;
    }
    return -1;
}

int indentOf(const QString &line)
{
    return static_cast<int>(line.indexOf(QRegularExpression(QStringLiteral("\\S"))));
}

} // namespace

TEST(PlainTextFidelity, KeepsBlankLinesIndentationTabStopsArtQuotesAndSignature)
{
    for (const RenderedMessage &rendered : plainLayoutRenderings()) {
        ASSERT_TRUE(rendered.converted) << rendered.error.toStdString();
        const QStringList lines = rendered.layoutText.split(QLatin1Char('\n'));
        const auto at = [&](const char *start) { return indexOfLine(lines, QString::fromUtf8(start)); };
        const auto line = [&](const char *start) { return lines.value(at(start)); };
        SCOPED_TRACE(rendered.layoutText.toStdString());

        // Blank lines: one after the greeting, two before the table.
        const int greeting = at("Hello team,");
        ASSERT_GE(greeting, 0);
        EXPECT_EQ(at("The figures are below."), greeting + 2);
        EXPECT_TRUE(lines.value(greeting + 1).trimmed().isEmpty());
        EXPECT_EQ(at("Item"), greeting + 5);

        // Indentation grows as typed.
        EXPECT_GT(indentOf(line("Indented by four")), indentOf(line("Hello team,")));
        EXPECT_GT(indentOf(line("and by eight")), indentOf(line("Indented by four")));

        // Tab stops: every row's columns start where the header's do.
        for (const char *row : {"Apples", "Kiwis"}) {
            EXPECT_EQ(line(row).indexOf(QRegularExpression(QStringLiteral("\\d"))),
                      line("Item").indexOf(QStringLiteral("Qty")))
                << row;
            EXPECT_EQ(line(row).lastIndexOf(QLatin1Char(' ')) + 1, line("Item").indexOf(QStringLiteral("Price")))
                << row;
        }

        // ASCII art: the box's corners and walls line up.
        const QString top = lines.value(at("+--------+"));
        const QString middle = line("|");
        EXPECT_EQ(top.indexOf(QLatin1Char('+'), top.indexOf(QLatin1Char('+')) + 1),
                  middle.indexOf(QLatin1Char('|'), middle.indexOf(QLatin1Char('|')) + 1));
        EXPECT_EQ(top.lastIndexOf(QLatin1Char('+')), middle.lastIndexOf(QLatin1Char('|')));

        // Quotes keep their markers, in order, one line each.
        const int quote = at("> Can you send the report?");
        ASSERT_GE(quote, 0);
        EXPECT_EQ(at("> It is due on Friday."), quote + 1);
        EXPECT_EQ(at(">> Earlier: the draft is attached."), quote + 2);

        // The signature's columns line up, and the long line wraps without losing a word.
        EXPECT_EQ(line("Bob Smith").indexOf(QLatin1Char('|')), line("Example Ltd.").indexOf(QLatin1Char('|')));
        EXPECT_EQ(rendered.text.count(QStringLiteral("long")), 60);
        EXPECT_TRUE(rendered.text.contains(QStringLiteral("long end")));
    }
}
