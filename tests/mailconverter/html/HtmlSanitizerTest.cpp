#include "mailconverter/html/HtmlSanitizer.h"

#include "mailconverter/html/HtmlNestingLimit.h"
#include "mailconverter/html/HtmlPresentation.h"

#include <gtest/gtest.h>

using namespace tessaly;

namespace {

SanitizedHtml sanitize(std::string_view html)
{
    SanitizeOptions options;
    options.remoteImagePlaceholder = [](const RemoteImage &image) {
        return "<placeholder style=\"" + image.escapedStyle + "\">" + image.escapedAlt + "</placeholder>";
    };
    return sanitizeHtml(html, options);
}

} // namespace

TEST(HtmlSanitizer, ReadsMarkupAsAnHtml5ParserDoes)
{
    // "</>" is nothing and "</ foo>" a comment; the old tokenizer showed "UA" apart.
    EXPECT_EQ(sanitize("G</>UA</ foo>RA").body, "GUARA");
    // Misnested formatting is repaired as browsers repair it; stray end tags are dropped and
    // whatever is left open is closed.
    EXPECT_EQ(sanitize("<b>1<i>2</b>3</i></span></div><div><p>4").body, "<b>1<i>2</i></b><i>3</i><div><p>4</p></div>");
    EXPECT_EQ(sanitize("<table><tr><td>a</table>b").body, "<table><tbody><tr><td>a</td></tr></tbody></table>b");
    // A line break that is text right after <pre> survives the browser's second reading.
    EXPECT_EQ(sanitize("<pre>\n\nx</pre>").body, "<pre>\n\nx</pre>");
    EXPECT_EQ(sanitize("a&nbsp;&lt;b&gt; &amp;c").body, "a&nbsp;&lt;b&gt; &amp;c");
}

std::size_t occurrences(const std::string &text, std::string_view part)
{
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

TEST(HtmlSanitizer, HostileNestingStrayEndTagsAndUnclosedElementsStayBounded)
{
    // The parser's time grows with the square of the nesting; without a limit these took
    // most of a minute.
    std::string html;
    for (int i = 0; i < 100000; ++i)
        html += "<div>";
    html += "deep text";
    for (int i = 0; i < 100000; ++i)
        html += "</b>";
    const std::string body = sanitize(html).body;
    EXPECT_EQ(occurrences(body, "<div>"), std::size_t(kMaxHtmlNesting));
    EXPECT_EQ(occurrences(body, "</div>"), std::size_t(kMaxHtmlNesting));
    EXPECT_EQ(occurrences(body, "</b>"), 0u);
    EXPECT_EQ(occurrences(body, "deep text"), 1u);

    // Elements whose content is raw text, opened again and again and never closed.
    std::string unclosed;
    for (int i = 0; i < 20000; ++i)
        unclosed += "<iframe><script><style><div>";
    unclosed += "<p unterminated=\"";
    EXPECT_EQ(sanitize(unclosed).body.find("<iframe"), std::string::npos);
}

TEST(HtmlSanitizer, NestingLimitLeavesOrdinaryMarkupAlone)
{
    std::string svg = "<svg>";
    for (int i = 0; i < 50; ++i)
        svg += "<path d=\"M0 0\"/>";
    svg += "</svg>";
    const std::string ordinary = "<table><tr><td><p>a<p>b<li>c<br><img src=x><script>\"<div>\"</script><!-- <div> -->"
                                 "<b title=\"<i>\">d</b>" +
                                 svg;
    EXPECT_EQ(limitHtmlNesting(ordinary, 4), ordinary);
    // Past the limit start tags go, text and end tags stay; "/>" closes nothing in HTML.
    EXPECT_EQ(limitHtmlNesting("<div><span/><i>x<b>y</b></i></span></div>", 2), "<div><span/>xy</b></i></span></div>");
    EXPECT_EQ(limitHtmlNesting("<svg><div/><div/><div/>", 2), "<svg><div/>");
}

TEST(HtmlSanitizer, OnlyWebAndMailLinksKeepTheirTarget)
{
    const std::string body = sanitize("<a href=\"&#106;avascript:alert(1)\">one</a>"
                                      "<a href=\" JaVa&#x0A;Script:alert(2)\">two</a>"
                                      "<a href=\"file:///etc/passwd\">three</a><a href=\"x.html\">four</a>"
                                      "<a href=\"cid:part\">five</a><svg><a xlink:href=\"javascript:x\">six"
                                      "<animateMotion><set attributeName=\"href\" to=\"javascript:y\"/></a></svg>"
                                      "<a href=\" HTTPS://example.com/a?b=1&amp;c=2\">web</a>"
                                      "<a href=\"mailto:ann@example.com\">mail</a><a href=\"#top\">up</a>")
                                 .body;
    EXPECT_EQ(body, "<a>one</a><a>two</a><a>three</a><a>four</a><a>five</a><svg><a>six</a></svg>"
                    "<a href=\"HTTPS://example.com/a?b=1&amp;c=2\">web</a>"
                    "<a href=\"mailto:ann@example.com\">mail</a><a href=\"#top\">up</a>");
}

TEST(HtmlSanitizer, StyleSheetsKeepTheirMediaAndOnlyCssCounts)
{
    const SanitizedHtml html =
        sanitize("<head><style media=\"only screen and (max-width:480px)\">.desktop{display:none}</style>"
                 "<style type=\"text/template\">p{color:red}</style><style type=\"TEXT/CSS\">"
                 "@media screen and (min-width:600px){.w{width:600px}} @media print{.p{display:none}} "
                 "q::after{content:\"</stylish>\"}</style></head><body><style>b{color:blue}</style>x</body>");
    ASSERT_EQ(html.styleSheets.size(), 3u);
    // Read on the printed page as on a screen: the width query decides, against the page.
    EXPECT_EQ(html.styleSheets[0].media, "only all and (max-width:480px)");
    EXPECT_EQ(html.styleSheets[0].css, ".desktop{display:none}");
    EXPECT_EQ(html.styleSheets[1].media, "");
    EXPECT_EQ(html.styleSheets[1].css, "@media all and (min-width:600px){.w{width:600px}} @media tv{.p{display:none}} "
                                       "q::after{content:\"<\\/stylish>\"}");
    EXPECT_EQ(html.styleSheets[2].css, "b{color:blue}");
    EXPECT_EQ(html.body, "x");
}

TEST(HtmlSanitizer, LegacyAttributesAreReadAsBrowsersReadThem)
{
    EXPECT_EQ(legacyColour("DDEEFF"), "#ddeeff");
    EXPECT_EQ(legacyColour(" #FfA "), "#ffffaa");
    EXPECT_EQ(legacyColour("1234567"), "#124570");
    EXPECT_EQ(legacyColour("navy"), "navy");
    EXPECT_EQ(legacyColour("transparent"), std::nullopt);
    EXPECT_EQ(legacyLength("600"), "600px");
    EXPECT_EQ(legacyLength(" 50.5%"), "50.5%");
    EXPECT_EQ(legacyLength("auto"), std::nullopt);
    const SanitizedHtml html = sanitize("<html lang=\"ja\"><body bgcolor=\"DDEEFF\" text=\"navy\">"
                                        "<td bgcolor=\"DDEEFF\">cell</td><table bgcolor=ffeedd><tr><td>x</table>");
    EXPECT_EQ(html.bodyAttributes, " lang=\"ja\" style=\"background-color:#ddeeff;color:navy;\"");
    // Elements keep their legacy attributes for the browser.
    EXPECT_EQ(html.body, "cell<table bgcolor=\"ffeedd\"><tbody><tr><td>x</td></tr></tbody></table>");
}

TEST(HtmlSanitizer, RemoteImagesBecomePlaceholdersOfTheirSize)
{
    const std::string body =
        sanitize("<img src=\" https://cdn.example/a.png\" width=\"120\" height=60 alt=\"Logo & co\" align=left>"
                 "<img src=\"http://t.example/p.gif\" style=\"width:1px;height:1px;border:0\">"
                 "<img src=\"http://t.example/q.gif\" width=1 height=\"1\">"
                 "<input type=image src=\"//x.example/go.png\" alt=go><img src=\"data:image/gif;base64,R0l=\">")
            .body;
    EXPECT_EQ(body, "<placeholder style=\"width:120px;height:60px;float:left;\">Logo &amp; co</placeholder>"
                    "<placeholder style=\"width:1px;height:1px;border:0\"></placeholder>"
                    "<placeholder style=\"\">go</placeholder><img src=\"data:image/gif;base64,R0l=\">");
}
