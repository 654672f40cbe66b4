#include "mailconverter/html/CssCleaner.h"

#include <gtest/gtest.h>

using namespace tessaly;

TEST(CssCleaner, RewritesPartReferencesDropsLocalPathsAndDisarmsScriptInDisguise)
{
    const ReferenceResolver resolve = [](std::string_view reference, bool isContentId) {
        return isContentId && reference == "logo" ? std::string("part:1") : std::string();
    };
    EXPECT_EQ(cleanCss("a{background:URL( 'cid:logo' )}", resolve), "a{background:URL( 'part:1' )}");
    EXPECT_EQ(cleanCss("a{background:url(/etc/passwd)}", resolve), "a{background:url()}");
    // Remote backgrounds stay for the request blocker, which refuses them.
    EXPECT_EQ(cleanCss("a{background:url(https://t.example/p.gif)}", resolve),
              "a{background:url(https://t.example/p.gif)}");
    EXPECT_EQ(cleanCss("p{width:EXPRESSION(alert(1));-moz-binding:url(x.xml#a);behavior:url(a.htc)}", resolve),
              "p{width:___________alert(1));____________:url();_________url()}");
}
