// Bodies wider than the page: every word and image lies on the page.
#include "tests/fidelity/FidelityHarness.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tessaly::test;

namespace {

// The page's margins are 15 mm; a point of slack for the glyphs' side bearings.
constexpr double kMarginPoints = 15.0 * 72.0 / 25.4 - 1.0;

QString popplerOutput(const QByteArray &pdf, const QString &tool, QStringList arguments)
{
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("m.pdf")));
    if (!file.open(QIODevice::WriteOnly) || file.write(pdf) != pdf.size())
        return {};
    file.close();
    arguments << file.fileName() << QStringLiteral("-");
    if (tool == QLatin1String("pdfimages"))
        arguments.removeLast();
    QProcess process;
    process.start(tool, arguments);
    process.waitForFinished(60000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

struct Word
{
    QString text;
    double xMin, yMin, xMax, yMax;
};

struct PageBox
{
    double width = 0;
    double height = 0;
    std::vector<Word> words;
};

// pdftotext -bbox: the first page's size and every word's box, in points.
PageBox wordBoxes(const QByteArray &pdf)
{
    PageBox box;
    const QString xml = popplerOutput(pdf, QStringLiteral("pdftotext"),
                                      {QStringLiteral("-bbox"), QStringLiteral("-enc"), QStringLiteral("UTF-8")});
    const QRegularExpressionMatch page =
        QRegularExpression(QStringLiteral("<page width=\"([\\d.]+)\" height=\"([\\d.]+)\"")).match(xml);
    if (!page.hasMatch())
        return box;
    box.width = page.captured(1).toDouble();
    box.height = page.captured(2).toDouble();
    static const QRegularExpression word(QStringLiteral(
        "<word xMin=\"([-\\d.]+)\" yMin=\"([-\\d.]+)\" xMax=\"([-\\d.]+)\" yMax=\"([-\\d.]+)\">([^<]*)</word>"));
    for (const QRegularExpressionMatch &match : word.globalMatch(xml)) {
        box.words.push_back({match.captured(5), match.captured(1).toDouble(), match.captured(2).toDouble(),
                             match.captured(3).toDouble(), match.captured(4).toDouble()});
    }
    return box;
}

struct DrawnImage
{
    int width = 0;
    double xPpi = 0;
    double yPpi = 0;
};

// pdfimages -list: each image's width in pixels and the resolution it is drawn at.
std::vector<DrawnImage> drawnImages(const QByteArray &pdf)
{
    std::vector<DrawnImage> images;
    const QStringList lines = popplerOutput(pdf, QStringLiteral("pdfimages"), {QStringLiteral("-list")})
                                  .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString &line : lines.mid(2)) {
        const QStringList fields = line.simplified().split(QLatin1Char(' '));
        if (fields.size() >= 14 && fields[2] == QLatin1String("image"))
            images.push_back({fields[3].toInt(), fields[12].toDouble(), fields[13].toDouble()});
    }
    return images;
}

} // namespace

TEST(WidePageFidelity, WideBodiesAreScaledOntoThePageNotCut)
{
    // A 1,400 px table shrinks as a whole (about 49%); a 2,000 px banner in a table as wide
    // would need 34%, below the floor, so the table wraps and the banner scales to the page.
    const struct
    {
        const char *file;
        QStringList words; ///< words that must be on the page, the last column's among them
        bool hasImage;
    } cases[] = {
        {"wide-table.eml", {QStringLiteral("Column1"), QStringLiteral("Column7"), QStringLiteral("words7")}, false},
        {"wide-image.eml", {QStringLiteral("Under"), QStringLiteral("Lastword.")}, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.file);
        const RenderedMessage rendered = renderFidelityMessage(QString::fromLatin1(c.file));
        ASSERT_TRUE(rendered.converted) << rendered.error.toStdString();
        const PageBox page = wordBoxes(rendered.pdf);
        ASSERT_GT(page.width, 0);
        for (const QString &expected : c.words) {
            EXPECT_TRUE(std::any_of(page.words.begin(), page.words.end(),
                                    [&](const Word &word) { return word.text == expected; }))
                << expected.toStdString() << " is not on the page: " << rendered.layoutText.toStdString();
        }
        for (const Word &word : page.words) {
            EXPECT_GE(word.xMin, kMarginPoints) << word.text.toStdString();
            EXPECT_LE(word.xMax, page.width - kMarginPoints) << word.text.toStdString();
            EXPECT_GE(word.yMin, 0) << word.text.toStdString();
            EXPECT_LE(word.yMax, page.height) << word.text.toStdString();
        }
        const std::vector<DrawnImage> images = drawnImages(rendered.pdf);
        ASSERT_EQ(images.size(), c.hasImage ? 1u : 0u);
        for (const DrawnImage &image : images) {
            EXPECT_LE(image.width / image.xPpi * 72.0, page.width - 2 * kMarginPoints);
            // Scaled, not squeezed: as many pixels per inch across as down.
            EXPECT_NEAR(image.xPpi, image.yPpi, image.xPpi * 0.05);
        }
    }
}
