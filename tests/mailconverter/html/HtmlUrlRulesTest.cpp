#include "mailconverter/html/HtmlUrlRules.h"

#include <gtest/gtest.h>

using namespace tessaly;

TEST(HtmlUrlRules, AResourceIsAPartOfTheMessageDataOrRemoteAndAnyOtherPathGoes)
{
    const ReferenceResolver resolve = [](std::string_view reference, bool isContentId) {
        if (isContentId)
            return reference == "logo%40x" ? std::string("part:1") : std::string();
        return reference == "img/b.png" ? std::string("part:2") : std::string();
    };
    const struct
    {
        const char *reference;
        std::optional<std::string> url;
        bool isRemote;
    } cases[] = {
        {"cid:logo%40x", "part:1", false},
        {"cid:unknown", "cid:unknown", false},
        {"img/b.png", "part:2", false},
        {"data:image/gif;base64,R0l=", "data:image/gif;base64,R0l=", false},
        {"#top", "#top", false},
        {"HTTPS://cdn.example/a.png", "HTTPS://cdn.example/a.png", true},
        {"//cdn.example/a.png", "//cdn.example/a.png", true},
        {"file:///etc/passwd", "file:///etc/passwd", true},
        // A path that is none of the message's parts would make the renderer read a local file.
        {"../../etc/passwd", std::nullopt, false},
        {"C:/Windows/win.ini", std::nullopt, false},
    };
    for (const auto &c : cases) {
        const std::optional<ResourceUrl> url = resourceUrl(c.reference, resolve);
        ASSERT_EQ(url.has_value(), c.url.has_value()) << c.reference;
        if (url) {
            EXPECT_EQ(url->url, *c.url) << c.reference;
            EXPECT_EQ(url->isRemote, c.isRemote) << c.reference;
        }
    }
    EXPECT_EQ(normalisedUrl(" \x01java\n\tscript:x "), "javascript:x");
    EXPECT_FALSE(isFollowableLink(normalisedUrl(" java\nscript:x")));
}
