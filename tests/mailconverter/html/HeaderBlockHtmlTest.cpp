#include "mailconverter/html/HeaderBlockHtml.h"

#include "mailconverter/html/PageRuleFilter.h"
#include "tests/mailconverter/html/HtmlTestHelpers.h"

#include <gtest/gtest.h>

using namespace tessaly;
using namespace tessaly::test;

namespace {

/// The rows as the header block shows them, one "Label: value" line each.
std::string headerOf(const MailMessage &message, const std::vector<AttachmentListing> &listings = {},
                     HeaderMarkup markup = HeaderMarkup::Simple)
{
    std::string lines;
    for (const HeaderRow &row : headerRows(message, listings, HeaderLimits{}, markup))
        lines += row.label + ": " + row.valueHtml + "\n";
    return lines;
}

} // namespace

TEST(HeaderBlockHtml, ValuesAreEscaped)
{
    MailMessage message;
    message.subject = "Quarterly <report> & \"numbers\"";
    message.from = {{"<script>alert(1)</script>", "x@example.com"}};
    message.date = MailDate{1614949620, 60};
    for (const HeaderMarkup markup : {HeaderMarkup::Simple, HeaderMarkup::Web}) {
        const std::string html = headerOf(message, {{"a<b>.txt", 1536, "x y/a<b>.txt", true}}, markup);
        expectContainsAll(html, {"Subject: Quarterly &lt;report&gt; &amp; &quot;numbers&quot;\n",
                                 "&lt;script&gt;alert(1)&lt;/script&gt;", "&lt;x@example.com&gt;",
                                 "<a href=\"x y/a&lt;b&gt;.txt\">a&lt;b&gt;.txt</a>", "1.5 KB",
                                 "Date: Friday, 5 March 2021 14:07:00 +0100\n"});
        expectContainsNone(html, {"<script"});
    }
}

TEST(HeaderBlockHtml, EmptyFieldsAreLeftOut)
{
    MailMessage message;
    message.from = {{"", ""}};
    message.to = {{"Only A Name", ""}};
    EXPECT_EQ(headerOf(message), "To: Only A Name\n");
    EXPECT_TRUE(headerRows(MailMessage{}, {}, HeaderLimits{}, HeaderMarkup::Simple).empty());
}

TEST(HeaderBlockHtml, DateNotFromTheDateHeaderSaysWhereItCameFrom)
{
    const auto dateRow = [](std::string_view headers) {
        const Result<MailMessage> message = parseMailMessage(std::string(headers) + "Subject: x\r\n\r\nbody\r\n");
        const std::string html = headerOf(message.value());
        const std::size_t at = html.find("Date:");
        return at == std::string::npos ? std::string() : html.substr(at, html.find('\n', at) - at);
    };
    EXPECT_FALSE(
        contains(dateRow("From a@b Tue Jan  3 10:00:00 2023\r\nDate: Fri, 05 Mar 2021 14:07:00 +0100\r\n"), "no Date"));
    EXPECT_TRUE(contains(dateRow("From a@b Tue Jan  3 10:00:00 2023\r\n"),
                         "3 January 2023 10:00:00 +0000 (no Date header; the date of the mailbox&#39;s From line)"));
    EXPECT_TRUE(contains(dateRow("Received: from x by y; Fri, 05 Mar 2021 14:07:00 +0100\r\n"),
                         "(no Date header; the date of the newest Received header)"));
}

TEST(HeaderBlockHtml, LongValuesAndLongListsAreCutAndSaySo)
{
    MailMessage message;
    message.subject = std::string(1000, 'x') + std::string(1500, 'y') + "é";
    for (int i = 0; i < 2700; ++i)
        message.to.push_back({"", std::string("r").append(std::to_string(i)).append("@example.com")});
    message.cc = {{std::string(3000, 'n'), "n@example.com"}};
    std::vector<AttachmentListing> listings(60, AttachmentListing{"f.txt", 1, "", false});
    const std::string html = headerOf(message, listings);
    EXPECT_TRUE(contains(html, std::string(1000, 'x') + " [… cut: 1,501 more characters]"));
    EXPECT_FALSE(contains(html, "xy"));
    EXPECT_TRUE(contains(html, "r49@example.com and 2,650 more\n"));
    EXPECT_FALSE(contains(html, "r50@"));
    EXPECT_TRUE(contains(html, std::string(1000, 'n') + " [… cut: 2,000 more characters] &lt;n@example.com&gt;"));
    EXPECT_TRUE(contains(html, "<br>and 10 more\n"));

    // A subject cut before it was parsed gives the whole field's size, not a count of what was read.
    message.cutHeaderFields = {{"SUBJECT", 200u << 20}};
    EXPECT_TRUE(contains(headerOf(message, {}), std::string(1000, 'x') + " [… cut: 200 MB in all]"));
}

TEST(PageRuleFilter, RemovesPageImportAndFontRulesWhereverTheyStand)
{
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"p{color:red}@page{margin:0}div{x:y}", "p{color:red}div{x:y}"},
        {"@PAGE :first { margin-top: 0 !important }a{b:c}", "a{b:c}"},
        {"@media print{@page WordSection1{size:1in 1in}p{x:y}}", "@media print{p{x:y}}"},
        {"@p\\61ge{margin:0}a{b:c}", "a{b:c}"},
        {"@import url(cid:x;y);a{b:c}", "a{b:c}"},
        {"@import \"x.css\" print;a{b:c}", "a{b:c}"},
        {"@page{margin:0;content:\"}\"}a{b:c}", "a{b:c}"},
        {"@media x{@page{margin:0}", "@media x{"},
        {"a{content:\"@page{}\"}/* @page{} */b{c:d}", "a{content:\"@page{}\"}/* @page{} */b{c:d}"},
        {"\\@page{x:y}", "\\@page{x:y}"},
        {"@pages{a:b}@font-faces{c:d}", "@pages{a:b}@font-faces{c:d}"},
        // Fonts in data: URLs took a worker past its memory limit.
        {"@Font-Face{font-family:x;src:url(data:font/ttf;base64,AAEAAA)}a{b:c}", "a{b:c}"},
        {"@media screen{@font-face{src:url(\"cid:f\")}p{x:y}}", "@media screen{p{x:y}}"},
        {"@font-f\\61 ce{src:url(data:,x)}a{b:c}", "a{b:c}"},
    };
    for (const auto &[css, expected] : cases)
        EXPECT_EQ(withoutPageImportAndFontRules(css), expected) << css;
}
