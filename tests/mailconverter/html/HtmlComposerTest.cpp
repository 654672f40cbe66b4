#include "mailconverter/html/HtmlComposer.h"

#include "mailconverter/html/PlainTextHtml.h"
#include "support/ByteSize.h"
#include "tests/mailconverter/html/HtmlTestHelpers.h"

#include <gtest/gtest.h>

using namespace tessaly;
using namespace tessaly::test;

namespace {

MailMessage htmlMessage(std::string html)
{
    MailMessage message;
    message.subject = "Quarterly <report> & \"numbers\"";
    message.from = {{"Ann O'Neil", "ann@example.com"}};
    message.to = {{"", "bob@example.com"}};
    message.date = MailDate{1614949620, 60};
    message.bodies.push_back(BodyPart{BodyPart::Kind::Html, std::move(html), {}});
    return message;
}

std::string compose(const MailMessage &message, const std::vector<AttachmentListing> &listings = {})
{
    ComposeOptions options;
    options.cidBaseUrl = "tessaly://m17/cid/";
    return composeMessageHtml(message, listings, options);
}

} // namespace

TEST(HtmlComposer, TheMessagesOwnHeaderBlockIsNotPartOfItsPage)
{
    // It is drawn apart, where the message's style sheets cannot reach it.
    const std::string page = compose(htmlMessage("<p>body</p>"));
    expectContainsNone(page, {"tessaly-header-0", "ann@example.com"});
    EXPECT_TRUE(contains(page, "<p>body</p>"));
}

TEST(HtmlComposer, InlineImagesResolveAndRemoteImagesAreBlocked)
{
    MailMessage message = htmlMessage("<img src=\"cid:logo%40x\"><img src='CID:missing'>"
                                      "<img src=\"https://tracker.example/p.gif\" alt=\"Logo\">"
                                      "<img src=\"//cdn.example/a.png\"><img src=\"data:image/png;base64,AAAA\">"
                                      "<div style=\"background:url(cid:logo@x)\" background=\"http://x/bg.png\">b</div>"
                                      "<img src=\"banner.png\"><a href=\"https://example.com/\">link</a>"
                                      "<img src=\"/etc/secret.png\"><table background=\"../x.png\"></table>");
    message.inlineResources.push_back(InlineResource{"logo@x", "", "image/png", "PNG"});
    message.inlineResources.push_back(InlineResource{"", "banner.png", "image/png", "PNG"});
    const std::string page = compose(message);
    expectContainsAll(page, {"src=\"tessaly://m17/cid/logo%40x\"", "url(tessaly://m17/cid/logo%40x)",
                             "src=\"tessaly://m17/cid/banner.png\"", "src=\"CID:missing\"", "[remote image: Logo]",
                             "src=\"data:image/png;base64,AAAA\"", "href=\"https://example.com/\""});
    expectContainsNone(page, {"tracker.example", "cdn.example", "http://x/bg.png"});
    // Paths that are not parts of the message must not make a renderer read local files.
    expectContainsNone(page, {"secret.png", "../x.png"});
}

TEST(HtmlComposer, ActiveContentIsRemoved)
{
    const std::string page = compose(htmlMessage(
        "<html><head><title>t</title><meta http-equiv=\"refresh\" content=\"0;url=http://evil\">"
        "<base href=\"http://evil/\"><style>p{color:blue}</style><script>bad()</script></head>"
        "<body bgcolor=\"#eeeeee\" onload=\"bad()\"><p onclick=\"bad()\">text</p>"
        "<SCRIPT type=text/javascript>bad()</SCRIPT><iframe src=\"http://evil\">framecontent</iframe>"
        "<object data=\"x.swf\"><embed src=\"x.swf\"></object><form action=\"http://evil\"><input name=q></form>"
        "<a href=\" javascript:bad()\">js</a></body></html>"));
    expectContainsNone(page, {"bad()", "evil", "framecontent", "<iframe", "<embed", "<form", "<base", "http-equiv"});
    expectContainsAll(page, {"p{color:blue}", "<p>text</p>", "background-color:#eeeeee"});
}

TEST(HtmlComposer, NestedDocumentsOfRepliesKeepTheirText)
{
    const std::string page =
        compose(htmlMessage("<html><body>reply text<div><html><head><title>x</title></head>"
                            "<body style=\"color:red\">original text</body></html></div></body></html>"));
    EXPECT_TRUE(contains(page, "reply text<div>original text</div>"));
}

TEST(HtmlComposer, MarkupLeftOpenCannotSwallowWhatFollows)
{
    MailMessage message = htmlMessage("<div style=\"display:none\"><table><tr><td><b>open"
                                      "</span></div></div></div><textarea><plaintext>raw<select><option>o");
    MailMessage inner;
    inner.subject = "after";
    message.forwarded.push_back(inner);
    const std::string page = compose(message);
    // Stray end tags are dropped, open elements are closed before our content follows; a
    // text area's text runs to its end tag, as in browsers.
    EXPECT_TRUE(
        contains(page, "<b>open<span style=\"display:inline-block;white-space:pre-wrap;font-family:monospace;"
                       "border:1px solid #999999;padding:2px\">&lt;plaintext&gt;raw&lt;select&gt;&lt;option&gt;o</span>"
                       "</b></td></tr></tbody></table></div></div>\n"));
    EXPECT_FALSE(contains(page, "<select"));
    EXPECT_FALSE(contains(page, "<textarea"));
    EXPECT_LT(page.find("</head>"), page.find("<tessaly-forwarded>"));
    EXPECT_GT(page.find("</head>"), page.rfind("<style"));
}

TEST(HtmlComposer, WordPageRulesAreOverriddenForThePaper)
{
    ComposeOptions options;
    options.paperSize = "letter";
    const std::string page = composeMessageHtml(
        htmlMessage("<style>@page WordSection1{size:612pt 792pt} div.WordSection1{page:WordSection1}</style>"
                    "<div class=WordSection1>x</div>"),
        {}, options);
    expectContainsAll(page, {"@page{size:letter;margin:15mm}", "*{page:auto!important}",
                             "div.WordSection1{page:WordSection1}",
                             "@font-face{font-family:\"Calibri\";src:local(\"Carlito\")}",
                             "@font-face{font-family:\"Tessaly Emoji\";src:local(\"Symbola\");font-weight:100 900;"});
    expectContainsNone(page, {"@page WordSection1"});
}

TEST(HtmlComposer, PlainTextBodiesAndForwardedMessages)
{
    MailMessage message;
    message.subject = "Fwd";
    message.bodies.push_back(BodyPart{BodyPart::Kind::PlainText, "Hi <there>\n> quoted\n>> deeper\nend\n", {}});
    MailMessage inner;
    inner.subject = "Inner subject";
    inner.bodies.push_back(BodyPart{BodyPart::Kind::PlainText, "inner text", {}});
    inner.attachments.push_back(AttachmentPart{"data.csv", "text/csv", "a,b", false});
    message.forwarded.push_back(inner);
    const std::string page = compose(message);
    expectContainsAll(page, {"Hi &lt;there&gt;", "&gt; quoted", "white-space:pre-wrap", "Liberation Mono",
                             "id=\"tessaly-header-0\"", "data.csv"});
    EXPECT_LT(page.find("end"), page.find("Inner subject"));
    EXPECT_LT(page.find("Inner subject"), page.find("inner text"));
    // The forwarded message's header block is on the page, scoped by id and !important.
    EXPECT_TRUE(contains(page, ":is(#tessaly-header-0),:is(#tessaly-header-0) *{all:revert!important;"));
    EXPECT_TRUE(contains(page, "<tessaly-value dir=\"auto\">"));
    // Plain-text blocks are styled by the page's id-scoped sheet, not by inline styles a
    // message's !important rules would beat.
    EXPECT_TRUE(contains(page, ":is(#tessaly-plain-0,#tessaly-plain-1) tessaly-text.tessaly-q1{"));
    EXPECT_TRUE(contains(page, "<tessaly-text class=\"tessaly-q2\">&gt;&gt; deeper</tessaly-text>"));
}

TEST(HtmlComposer, QuoteDepthSplitsBlocks)
{
    EXPECT_EQ(quoteDepth("> > x"), 2);
    EXPECT_EQ(quoteDepth(">>x"), 2);
    EXPECT_EQ(quoteDepth(" > x"), 0);
    const std::string html = plainTextToHtml("a\nb\n> c\n> d\ne", false);
    // Three blocks: unquoted, quoted, unquoted.
    std::size_t blocks = 0;
    for (std::size_t at = html.find("<tessaly-text"); at != std::string::npos; at = html.find("<tessaly-text", at + 1))
        ++blocks;
    EXPECT_EQ(blocks, 3u);
    EXPECT_TRUE(contains(html, "a\nb</tessaly-text>"));
    EXPECT_TRUE(contains(plainTextToHtml("a\n> b", true), "color:#1f5fa8"));
}

TEST(HtmlComposer, PlainTextExpandsTabsAndBreaksOnlyVeryLongLinesIntoRows)
{
    const std::string tabs = plainTextToHtml("a\tb\nabcdefgh\tc\n\tC", false);
    EXPECT_TRUE(contains(tabs, "a       b\nabcdefgh        c\n        C")) << tabs;

    // A line of a few hundred columns is left to the page; a huge one becomes rows that fit it.
    const std::string words = [] {
        std::string line;
        for (int i = 0; i < 1000; ++i)
            line += "word" + std::to_string(i) + " ";
        return line;
    }();
    EXPECT_FALSE(contains(plainTextToHtml(words.substr(0, 500), false), "\n"));
    const std::string html = plainTextToHtml(words + "\n" + std::string(3000, 'x'), false);
    std::string text = html.substr(html.find('>') + 1);
    text = text.substr(0, text.find('<'));
    std::size_t rows = 0;
    std::size_t start = 0;
    for (std::size_t end = text.find('\n'); start < text.size(); end = text.find('\n', start)) {
        const std::string row = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        EXPECT_LE(row.size(), kPrewrapColumns);
        // Word rows end after a whole word.
        if (row[0] != 'x') {
            EXPECT_EQ(row.back(), ' ') << row;
        }
        ++rows;
        start = end == std::string::npos ? text.size() : end + 1;
    }
    EXPECT_GT(rows, 100u);
    std::string joined = text;
    std::erase(joined, '\n');
    EXPECT_EQ(joined, words + std::string(3000, 'x'));
}

TEST(HtmlComposer, HanIsDrawnInTheFaceOfTheBodysLanguage)
{
    // The first Chinese, Japanese or Korean face in the page's body font stack.
    const auto firstFace = [](BodyPart body) {
        MailMessage message;
        message.bodies.push_back(std::move(body));
        const std::string page = composeMessageHtml(message, {}, {});
        const std::size_t start = page.find("body{font-family:");
        const std::string stack = page.substr(start, page.find(';', start) - start);
        std::string first;
        std::size_t firstAt = std::string::npos;
        for (const char *face : {"WenQuanYi Zen Hei", "IPAPGothic", "NanumBarunGothic"}) {
            const std::size_t at = stack.find(face);
            if (at < firstAt) {
                firstAt = at;
                first = face;
            }
        }
        return first;
    };
    using Kind = BodyPart::Kind;
    // The lang attribute first, then the declared charset, then the letters. Traditional
    // Chinese shares the Simplified face, which has its forms.
    EXPECT_EQ(firstFace({Kind::Html, "<html lang=\"ja\"><p>会议</p></html>", "gb2312"}), "IPAPGothic");
    EXPECT_EQ(firstFace({Kind::PlainText, "会议", "shift_jis"}), "IPAPGothic");
    EXPECT_EQ(firstFace({Kind::Html, "<html lang=\"zh-TW\"><p>会议</p></html>", "shift_jis"}), "WenQuanYi Zen Hei");
    EXPECT_EQ(firstFace({Kind::PlainText, "会议", "big5"}), "WenQuanYi Zen Hei");
    EXPECT_EQ(firstFace({Kind::PlainText, "我們這個會議的資料", "utf-8"}), "WenQuanYi Zen Hei");
    EXPECT_EQ(firstFace({Kind::PlainText, "我们的会议资料の下载地址在这里", "utf-8"}), "WenQuanYi Zen Hei");
    EXPECT_EQ(firstFace({Kind::PlainText, "会議は明日です", "utf-8"}), "IPAPGothic");
    EXPECT_EQ(firstFace({Kind::PlainText, "회의 자료", "utf-8"}), "NanumBarunGothic");
    EXPECT_EQ(firstFace({Kind::PlainText, "会议", "shift_jis"}), "IPAPGothic");
}

TEST(HtmlComposer, CalendarDrawnAsTextPutsTheFaceOfItsLanguageFirst)
{
    // Text that no longer reads as a calendar named the Chinese face first, whatever its language.
    MailMessage message;
    message.bodies.push_back({BodyPart::Kind::Invitation, "会議は明日です", "utf-8"});
    const std::string page = composeMessageHtml(message, {}, {});
    const std::size_t pre = page.find("<pre ");
    ASSERT_NE(pre, std::string::npos) << page;
    const std::string tag = page.substr(pre, page.find('>', pre) - pre);
    EXPECT_LT(tag.find("IPAGothic"), tag.find("WenQuanYi Zen Hei Mono")) << tag;
}

TEST(HtmlComposer, EachPlainLineTakesTheDirectionOfItsOwnScript)
{
    // One paragraph for the whole body made every line right-to-left after a Hebrew first line.
    // A blank line stays in the run of the lines around it.
    const std::string html =
        plainTextToHtml("שלום לכולם\n\nשלום\nGrüße aus München\n\"مرحبا\" بكم\n会議は明日です。", true);
    std::size_t rightToLeft = 0;
    for (std::size_t at = html.find("dir=\"rtl\""); at != std::string::npos; at = html.find("dir=\"rtl\"", at + 1))
        ++rightToLeft;
    EXPECT_EQ(rightToLeft, 2u) << html;
    EXPECT_TRUE(contains(html, ">Grüße aus München</pre>")) << html;
    EXPECT_TRUE(contains(html, "שלום לכולם\n\nשלום</pre>")) << html;
}

TEST(HtmlComposer, Formatting)
{
    EXPECT_EQ(formatHeaderDate(MailDate{0, 0}), "Thursday, 1 January 1970 00:00:00 +0000");
    EXPECT_EQ(formatHeaderDate(MailDate{1614949620, -330}), "Friday, 5 March 2021 07:37:00 -0530");
    EXPECT_EQ(formatHeaderDate(MailDate{951782400, 0}), "Tuesday, 29 February 2000 00:00:00 +0000");
    EXPECT_EQ(formatByteSize(0), "0 bytes");
    EXPECT_EQ(formatByteSize(1023), "1023 bytes");
    EXPECT_EQ(formatByteSize(10 * 1024 * 1024), "10 MB");
    EXPECT_EQ(percentEncodeUrlPart("a b@c/ü"), "a%20b%40c%2F%C3%BC");
    EXPECT_EQ(percentDecode(percentEncodeUrlPart("a b@c/ü")), "a b@c/ü");
    EXPECT_EQ(percentDecode("100%"), "100%");
}
