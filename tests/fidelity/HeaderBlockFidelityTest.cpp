// The header block: what a message's style sheet tries against it, and one look for every message.
#include "tests/fidelity/FidelityHarness.h"
#include "tests/mailconverter/render/PdfProbe.h"

#include <QImage>

#include <gtest/gtest.h>

using namespace tessaly::test;

namespace {

const QByteArray kHeaders = "From: Real Sender <real@example.org>\r\n"
                            "To: Reader <reader@example.org>\r\n"
                            "Date: Fri, 05 Mar 2021 14:07:00 +0100\r\n"
                            "Subject: The real subject\r\n"
                            "MIME-Version: 1.0\r\n";

// What an attacker shows in place of the header block.
const QByteArray kForgedBlock =
    "<div class=\"forged\" style=\"background:#f2f4f7;border:1px solid #d0d5dd;padding:6pt 8pt\">"
    "<b>From:</b> Chief Executive &lt;ceo@bank.example&gt;<br><b>Subject:</b> FORGED</div>";

QByteArray htmlMessage(const QByteArray &html)
{
    return kHeaders + "Content-Type: text/html; charset=utf-8\r\n\r\n" + html + "\r\n";
}

struct FirstPage
{
    QString text;
    QImage image;
};

FirstPage firstPageOf(const QByteArray &message, const QString &name)
{
    const RenderedMessage rendered = renderMessage(message, name);
    EXPECT_TRUE(rendered.converted) << rendered.error.toStdString();
    return {pdfPageText(rendered.pdf, 1), pdfPageImage(rendered.pdf, 1)};
}

/// The rows from the top of the page to just below the first inked ones: on a first page,
/// the white rows above the header block, its box, and the first white row after it.
int belowFirstInkedRows(const QImage &page)
{
    bool inBox = false;
    for (int y = 0; y < page.height(); ++y) {
        bool white = true;
        for (int x = 0; x < page.width() && white; ++x)
            white = qGray(page.pixel(x, y)) == 255;
        if (!white)
            inBox = true;
        else if (inBox)
            return y + 1;
    }
    return 0;
}

const FirstPage &harmlessPage()
{
    static const FirstPage page = firstPageOf(htmlMessage("<p>A harmless body.</p>"), QStringLiteral("harmless"));
    return page;
}

void expectRealHeaderBlock(const FirstPage &page)
{
    for (const char *expected :
         {"Real Sender", "real@example.org", "Reader", "The real subject", "Friday, 5 March 2021 14:07:00"})
        EXPECT_TRUE(page.text.contains(QLatin1String(expected))) << expected << "\n" << page.text.toStdString();

    const QImage &harmless = harmlessPage().image;
    const int height = belowFirstInkedRows(harmless);
    ASSERT_GT(height, 30); // at 60 dpi: the top margin and a box of four rows
    ASSERT_EQ(page.image.size(), harmless.size());
    EXPECT_TRUE(page.image.copy(0, 0, page.image.width(), height) == harmless.copy(0, 0, harmless.width(), height))
        << "the header region differs from a harmless message's";
}

struct HostileStyle
{
    const char *name;
    QByteArray html; ///< goes before the forged block
};

class HeaderBlockFidelity : public ::testing::TestWithParam<HostileStyle>
{
};

} // namespace

TEST_P(HeaderBlockFidelity, StaysWhatTheHeadersSayWhateverTheBodyDoes)
{
    const HostileStyle &style = GetParam();
    expectRealHeaderBlock(
        firstPageOf(htmlMessage(style.html + kForgedBlock + "<p>Body text.</p>"), QString::fromLatin1(style.name)));
}

// Each names what the message's style sheet tries.
INSTANTIATE_TEST_SUITE_P(
    HostileStyles, HeaderBlockFidelity,
    ::testing::Values(
        HostileStyle{"TwoIdSelectorHidesTheOldHeaderId",
                     "<style>#tessaly-header-0#tessaly-header-0{display:none!important}</style>"},
        HostileStyle{"ManyIdsAndClassesWithImportant",
                     "<style>html:not(#a#b#c) body:not(#d#e) *:not(.x.y.z){display:none!important}</style>"},
        HostileStyle{"EverythingDisplayNone", "<style>*,html,body{display:none!important}</style>"},
        HostileStyle{"VisibilityHidden", "<style>html,body,*{visibility:hidden!important}</style>"},
        HostileStyle{"OpacityZero", "<style>:root,:root *{opacity:0!important}</style>"},
        HostileStyle{
            "ColourEqualToTheBackground",
            "<style>*{color:#f2f4f7!important;background:#f2f4f7!important;border-color:#f2f4f7!important}</style>"},
        HostileStyle{"FontSizeZero", "<style>*{font-size:0!important;line-height:0!important}</style>"},
        HostileStyle{
            "FixedOverlayOverTheWholePage",
            "<style>.forged{position:fixed!important;top:0;left:0;width:100%;height:100%;z-index:2147483647}</style>"},
        HostileStyle{
            "FixedOverlayPushedIntoTheMargin",
            "<style>.forged{position:fixed!important;top:-15mm;left:-15mm;right:-15mm;z-index:2147483647}</style>"},
        HostileStyle{"AbsoluteOverlayAboveTheBody",
                     "<style>.forged{position:absolute!important;top:-120px;left:0;right:0;z-index:99}</style>"},
        HostileStyle{"NegativeMargins",
                     "<style>html,body{margin-top:-200px!important}.forged{margin-top:-100px}</style>"},
        HostileStyle{"TransformMovesTheForgeryUp", "<style>.forged{transform:translateY(-150px) scale(1.2)}</style>"},
        HostileStyle{"ZIndexOnARelativeBlock",
                     "<style>.forged{position:relative;z-index:2147483647;margin-top:-150px}</style>"},
        HostileStyle{
            "BeforeAndAfterContent",
            "<style>html::before,body::before{content:'From: Chief Executive';position:fixed;top:-100px;left:0;"
            "font-size:30px}body::after{content:'Subject: FORGED';position:absolute;top:0}</style>"},
        HostileStyle{"ClipPathOnTheRoot", "<style>html,body{clip-path:inset(0 0 100% 0)!important}</style>"},
        HostileStyle{"FilterOnTheRoot", "<style>html{filter:invert(1) hue-rotate(90deg)!important}</style>"},
        HostileStyle{"PageMarginRules",
                     "<style>@page{margin:0!important}@page :first{margin:0!important;margin-top:-50mm!important}"
                     "@p\\61ge{margin:0}</style>"},
        HostileStyle{
            "NamedPageWithItsOwnSize",
            "<style>@page Tiny:first{size:60mm 60mm;margin:0}html:root:root body{page:Tiny!important}</style>"}),
    [](const ::testing::TestParamInfo<HostileStyle> &style) { return std::string(style.param.name); });

TEST(HeaderBlock, LooksTheSameForPlainAndHtmlMessages)
{
    const FirstPage plain = firstPageOf(kHeaders + "Content-Type: text/plain; charset=utf-8\r\n\r\nA plain body.\r\n",
                                        QStringLiteral("plain"));
    expectRealHeaderBlock(plain);
}

TEST(HeaderBlock, LeavesRoomForTheBodyOnEveryPage)
{
    QByteArray html;
    for (int i = 1; i <= 150; ++i)
        html += "<p>Paragraph " + QByteArray::number(i) + " of a long message.</p>";
    const RenderedMessage rendered = renderMessage(htmlMessage(html), QStringLiteral("long"));
    ASSERT_TRUE(rendered.converted);
    // Nothing of the body is under the header block, and later pages start at their top margin.
    const QString first = pdfPageText(rendered.pdf, 1);
    EXPECT_LT(first.indexOf(QLatin1String("The real subject")), first.indexOf(QLatin1String("Paragraph 1 ")));
    const QImage second = pdfPageImage(rendered.pdf, 2);
    const int top = belowFirstInkedRows(second);
    EXPECT_GT(top, 0);
    EXPECT_LT(top, 60) << "the second page's text starts too low"; // 15 mm is 35 rows at 60 dpi
    for (int i = 1; i <= 150; ++i)
        EXPECT_TRUE(rendered.text.contains(QStringLiteral("Paragraph %1 of").arg(i))) << i;
}

TEST(HeaderBlock, ShapedScriptsCopyOutAsTyped)
{
    // Devanagari conjuncts are shaped clusters; the header block gives them back as typed.
    const QByteArray message = "From: =?UTF-8?B?4KSw4KS+4KSc4KWH4KS2?= <raj@example.in>\r\n"
                               "Subject: =?UTF-8?B?4KSo4KSu4KS44KWN4KSk4KWHIOCkpuClgeCkqOCkv+Ckr+Ckvg==?=\r\n"
                               "MIME-Version: 1.0\r\nContent-Type: text/plain; charset=utf-8\r\n\r\nBody.\r\n";
    const RenderedMessage rendered = renderMessage(message, QStringLiteral("devanagari"));
    ASSERT_TRUE(rendered.converted);
    const QString first = pdfPageText(rendered.pdf, 1);
    EXPECT_TRUE(first.contains(QStringLiteral("राजेश <raj@example.in>"))) << first.toStdString();
    EXPECT_TRUE(first.contains(QStringLiteral("नमस्ते"))) << first.toStdString();
}
