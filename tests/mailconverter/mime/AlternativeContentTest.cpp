#include "mailconverter/mime/AlternativeContent.h"

#include <gtest/gtest.h>

using namespace tessaly;

TEST(AlternativeContent, CommentsMarkupAndBlanksShowNothingAnImageShowsNoText)
{
    struct Row
    {
        const char *html;
        bool showsSomething;
        bool hasText;
    };
    const Row rows[] = {
        {"<!-- only a comment -->", false, false},
        {"<html><head><title>t</title></head><body>&nbsp; <br>\xC2\xA0</body></html>", false, false},
        {"<style>p { color: red }</style><p> </p>", false, false},
        {"<p><img src=\"cid:logo\"></p>", true, false},
        {"<!-- a comment --> and a word", true, true},
        {"<p>unclosed <b", true, true},
    };
    for (const Row &row : rows) {
        EXPECT_EQ(hasDisplayableContent(row.html, true), row.showsSomething) << row.html;
        EXPECT_EQ(htmlHasText(row.html), row.hasText) << row.html;
    }
    EXPECT_FALSE(hasDisplayableContent(" \r\n\t", false));
}
