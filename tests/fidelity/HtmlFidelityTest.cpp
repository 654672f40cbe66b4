// HTML bodies: what the PDF shows is what a browser shows for the same markup.
#include "tests/fidelity/FidelityHarness.h"

#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tessaly::test;

namespace {

// Runs a poppler tool on the PDF, written to a temporary file; returns its standard output.
QByteArray popplerOutput(const QByteArray &pdf, const QString &tool, QStringList arguments, const QString &output = {})
{
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("m.pdf")));
    if (!file.open(QIODevice::WriteOnly) || file.write(pdf) != pdf.size())
        return {};
    file.close();
    arguments << file.fileName();
    if (!output.isEmpty())
        arguments << dir.filePath(output);
    QProcess process;
    process.start(tool, arguments);
    process.waitForFinished(60000);
    if (!output.isEmpty()) {
        QFile image(dir.filePath(output + QStringLiteral(".png")));
        return image.open(QIODevice::ReadOnly) ? image.readAll() : QByteArray();
    }
    return process.readAllStandardOutput();
}

int lineOf(const QStringList &lines, const QString &text)
{
    for (int i = 0; i < lines.size(); ++i) {
        if (lines[i].contains(text))
            return i;
    }
    return -1;
}

} // namespace

TEST(HtmlFidelity, MediaQueriesForNarrowScreensHideNothingOnThePage)
{
    // A sheet for narrow screens, and a rule inside such a query, are read against the page.
    const RenderedMessage rendered = renderFidelityMessage(QStringLiteral("html-media-style.eml"));
    ASSERT_TRUE(rendered.converted);
    EXPECT_TRUE(rendered.text.contains(QStringLiteral("Desktop paragraph stays"))) << rendered.text.toStdString();
    EXPECT_TRUE(rendered.text.contains(QStringLiteral("Wide paragraph stays"))) << rendered.text.toStdString();
}

TEST(HtmlFidelity, BodyColourWithoutHashIsPainted)
{
    const RenderedMessage rendered = renderFidelityMessage(QStringLiteral("html-bgcolor.eml"));
    ASSERT_TRUE(rendered.converted);
    const QImage page = QImage::fromData(popplerOutput(
        rendered.pdf, QStringLiteral("pdftoppm"),
        {QStringLiteral("-r"), QStringLiteral("60"), QStringLiteral("-png"), QStringLiteral("-singlefile")},
        QStringLiteral("page")));
    ASSERT_FALSE(page.isNull());
    // The middle of the 300 px high body, below the header block.
    const QColor colour = page.pixelColor(page.width() / 2, page.height() * 3 / 10);
    EXPECT_NEAR(colour.red(), 0xDD, 4);
    EXPECT_NEAR(colour.green(), 0xEE, 4);
    EXPECT_NEAR(colour.blue(), 0xFF, 4);
}

TEST(HtmlFidelity, RemoteImagePlaceholdersKeepTheGridOfTheirSizes)
{
    const RenderedMessage rendered = renderFidelityMessage(QStringLiteral("html-remote-grid.eml"));
    ASSERT_TRUE(rendered.converted);
    const QStringList lines = rendered.layoutText.split(QLatin1Char('\n'));
    const int top = lineOf(lines, QStringLiteral("[remote image: Cell A]"));
    const int bottom = lineOf(lines, QStringLiteral("[remote image: Cell C]"));
    ASSERT_GE(top, 0) << rendered.layoutText.toStdString();
    ASSERT_GE(bottom, 0);
    // Two cells a row, and rows as far apart as the 120 px images are high.
    EXPECT_TRUE(lines[top].contains(QStringLiteral("[remote image: Cell B]")));
    EXPECT_TRUE(lines[bottom].contains(QStringLiteral("[remote image: Cell D]")));
    EXPECT_GE(bottom - top, 4);
    EXPECT_GE(lineOf(lines, QStringLiteral("Below the grid")) - bottom, 4);
}

TEST(HtmlFidelity, HtmlPartIsRenderedWhenItsBoundaryIsMissing)
{
    const RenderedMessage rendered = renderFidelityMessage(QStringLiteral("html-broken-mime.eml"));
    ASSERT_TRUE(rendered.converted);
    EXPECT_TRUE(rendered.text.contains(QStringLiteral("Rendered as HTML although the boundary is missing")))
        << rendered.text.toStdString();
    EXPECT_FALSE(rendered.text.contains(QStringLiteral("<b>")));
    EXPECT_FALSE(rendered.text.contains(QStringLiteral("Content-Type")));
}

TEST(HtmlFidelity, ScriptLinksBecomeTextWithoutALinkAction)
{
    const RenderedMessage rendered = renderFidelityMessage(QStringLiteral("html-script-link.eml"));
    ASSERT_TRUE(rendered.converted);
    EXPECT_TRUE(rendered.text.contains(QStringLiteral("Encoded script link Upper-case script link Safe web link")));
    EXPECT_FALSE(rendered.pdf.toLower().contains("javascript"));
    const QString urls =
        QString::fromUtf8(popplerOutput(rendered.pdf, QStringLiteral("pdfinfo"), {QStringLiteral("-url")}));
    EXPECT_TRUE(urls.contains(QStringLiteral("https://example.com/safe"))) << urls.toStdString();
    EXPECT_EQ(urls.count(QStringLiteral("Annotation")), 1) << urls.toStdString();
}

TEST(HtmlFidelity, WordWiderThanThePageBreaksInsteadOfRunningOff)
{
    const RenderedMessage rendered = renderFidelityMessage(QStringLiteral("html-long-word.eml"));
    ASSERT_TRUE(rendered.converted);
    QString text = rendered.text;
    text.remove(QRegularExpression(QStringLiteral("\\s")));
    EXPECT_TRUE(text.contains(QStringLiteral("https://example.com/") + QString(150, QLatin1Char('a')) +
                              QStringLiteral("/end-of-the-linkfordetails")))
        << rendered.text.toStdString();
}
