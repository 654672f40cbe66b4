// Chinese, Japanese and Korean text is drawn in the face of its language, embedded as outline
// fonts (never dozens of Type 3 fonts), and copies out in reading order.
#include "tests/fidelity/FidelityHarness.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

using namespace tessaly::test;

namespace {

struct CjkCase
{
    const char *file;
    const char *face; ///< as pdffonts names it, after the subset prefix
    const char *text; ///< the whole paragraph, in reading order
};

QString withoutSpaces(QString text)
{
    return text.remove(QRegularExpression(QStringLiteral("\\s+")));
}

} // namespace

TEST(CjkFidelity, EachLanguageInItsOwnOutlineFaceInReadingOrder)
{
    const CjkCase cases[] = {
        {"cjk-simplified-gb2312.eml", "WenQuanYiZenHei",
         "各位同事：大家好！关于下季度的预算安排，我们计划在本周五下午三点召开会议，地点在三楼会议室。"
         "请各部门负责人提前准备好本部门的预算草案，并在会议前发送给财务部。"},
        {"cjk-traditional-big5.eml", "WenQuanYiZenHei",
         "各位同事：大家好！關於下季度的預算安排，我們計劃在本週五下午三點召開會議，地點在三樓會議室。"},
        {"cjk-japanese-iso2022jp.eml", "IPAPGothic",
         "皆様、いつもお世話になっております。来週の会議についてご連絡いたします。"},
        {"cjk-korean-lang.eml", "NanumBarunGothic", "안녕하세요. 다음 주 회의에 대해 알려드립니다."},
        // Plain text in Japanese goes to the web engine too, in the monospaced Japanese face.
        {"cjk-japanese-plain.eml", "IPAGothic",
         "皆様、いつもお世話になっております。来週の会議についてご連絡いたします。"},
    };
    for (const CjkCase &cjk : cases) {
        SCOPED_TRACE(cjk.file);
        const RenderedMessage rendered = renderFidelityMessage(QString::fromLatin1(cjk.file));
        ASSERT_TRUE(rendered.converted) << rendered.error.toStdString();
        EXPECT_TRUE(withoutSpaces(rendered.text).contains(withoutSpaces(QString::fromUtf8(cjk.text))))
            << rendered.text.toStdString();
        bool hasFace = false;
        for (const QString &font : rendered.fonts) {
            EXPECT_FALSE(font.contains(QStringLiteral("Type 3"))) << font.toStdString();
            hasFace = hasFace || font.section(QLatin1Char(' '), 0, 0).endsWith(QLatin1String(cjk.face));
        }
        EXPECT_TRUE(hasFace) << rendered.fonts.join(QLatin1Char('\n')).toStdString();
        EXPECT_LT(rendered.pdf.size(), 100 * 1024);
    }
}
