#include "mailconverter/html/HtmlText.h"

#include <gtest/gtest.h>

using namespace tessaly;

TEST(HtmlText, ShowsWhatAReaderSeesLineByLineAndNothingHidden)
{
    struct Case
    {
        const char *html;
        const char *text;
    };
    const Case cases[] = {
        {"<p>Quarterly\n   figures</p><p>follow &amp; more</p>", "Quarterly figures\nfollow & more"},
        {"<html><head><title>T</title><style>p{}</style></head><body>a<br>b<script>x()</script></body></html>", "a\nb"},
        {"<table><tr><td>Name</td><td>Ann</td></tr><tr><td>Age</td><td>41</td></tr></table>", "Name Ann\nAge 41"},
        {"<ul><li>one</li><li><a href=\"https://x.example/\">two</a></li></ul>", "one\ntwo"},
        {"<pre>  kept\n    as is</pre><div>then <b>bold</b></div>", "  kept\n    as is\nthen bold"},
        {"<!-- a comment --><template>unseen</template>   ", ""},
    };
    for (const Case &c : cases)
        EXPECT_EQ(htmlText(c.html), c.text) << c.html;
}
