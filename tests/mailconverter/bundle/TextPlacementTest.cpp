// TextPageWriter's report of where each paragraph landed, against where pdftotext finds its words.
#include "mailconverter/textpages/TextPageWriter.h"

#include "tests/mailconverter/bundle/BundleTestFiles.h"
#include "tests/TestSupport/TempFolder.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace tessaly;
using namespace tessaly::test;

TEST(TextPageWriter, ReportsEachParagraphsPageAndBoxWhereItsWordsAre)
{
    std::vector<TextParagraph> paragraphs;
    for (int number = 1; number <= 90; ++number) {
        TextParagraph paragraph;
        paragraph.spaceBeforePoints = 2;
        paragraph.indentPoints = number % 3 * 10.0;
        TextRun run;
        run.text = "Paragraph" + std::to_string(number) + (number % 10 == 0 ? std::string(300, 'w') : "");
        paragraph.runs.push_back(run);
        paragraphs.push_back(paragraph);
    }
    std::vector<TextPlacement> placements;
    const TextPageGeometry geometry;
    const Result<QByteArray> pdf = TextPageWriter(geometry, {}).write(paragraphs, nullptr, nullptr, &placements);
    ASSERT_TRUE(pdf);
    ASSERT_EQ(placements.size(), paragraphs.size());
    tessaly::testing::TempFolder temp;
    std::ofstream(temp.file("p.pdf"), std::ios::binary).write(pdf.value().constData(), pdf.value().size());

    const std::vector<PlacedWord> words = placedWords(temp.file("p.pdf"));
    for (std::size_t i = 0; i < paragraphs.size(); ++i) {
        const QString first = QStringLiteral("Paragraph%1").arg(i + 1);
        const auto word = std::find_if(words.begin(), words.end(), [&](const PlacedWord &w) {
            return w.text.startsWith(first) &&
                   (w.text.size() == first.size() || w.text[first.size()] == QLatin1Char('w'));
        });
        ASSERT_NE(word, words.end()) << first.toStdString();
        const TextPlacement &placed = placements[i];
        EXPECT_EQ(placed.page, word->page - 1) << i;
        // The box holds the word (pdftotext measures from the top; the box from the bottom).
        const double slack = 1.5;
        EXPECT_LE(placed.left, word->xMin + slack) << i;
        EXPECT_GE(placed.right, word->xMax - slack) << i;
        EXPECT_GE(placed.top, geometry.heightPoints - word->yMin - slack) << i;
        EXPECT_LE(placed.bottom, geometry.heightPoints - word->yMax + slack) << i;
        EXPECT_NEAR(placed.left, geometry.leftPoints + paragraphs[i].indentPoints, slack) << i;
    }
}
