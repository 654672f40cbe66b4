// Parts an HTML body draws by Content-ID or Content-Location, and those it does not.
#include "mailconverter/mime/MailMessage.h"

#include "tests/mailconverter/mime/MimeTestHelpers.h"

#include <gtest/gtest.h>

using namespace tessaly;
using namespace tessaly::test;

TEST(InlineResources, ReferencedImagesAreInlineAndOthersAreAttachments)
{
    const MailMessage message = parse(multipart(
        "related", {"Content-Type: text/html\n\n<img src=\"CID:logo@x\"><img src=\"banner.png\"><img src=cid:pct%40x>",
                    "Content-Type: image/png\nContent-ID: <logo@x>\n\nLOGO",
                    "Content-Type: image/png; name=unused.png\nContent-ID: <unused@x>\n\nUNUSED",
                    "Content-Type: image/gif\nContent-ID: <pct@x>\n\nGIF",
                    "Content-Type: image/png\nContent-Location: banner.png\n\nBANNER"}));
    // The image no HTML uses is drawn after the body, and is an attachment too.
    ASSERT_EQ(message.inlineResources.size(), 4u);
    EXPECT_EQ(message.inlineResources[0].contentId, "logo@x");
    EXPECT_EQ(message.inlineResources[0].bytes, "LOGO");
    EXPECT_EQ(message.inlineResources[1].contentId, "unused@x");
    EXPECT_EQ(message.inlineResources[2].contentId, "pct@x");
    EXPECT_EQ(message.inlineResources[3].contentLocation, "banner.png");
    EXPECT_EQ(resourceKey(message.inlineResources[3]), "banner.png");
    ASSERT_EQ(message.bodies.size(), 2u);
    EXPECT_EQ(message.bodies[1].kind, BodyPart::Kind::Image);
    EXPECT_EQ(message.bodies[1].text, "unused@x");
    EXPECT_EQ(attachmentNames(message), (std::vector<std::string>{"unused.png"}));
    ASSERT_NE(findInlineResource(message, "logo@x"), nullptr);
    EXPECT_EQ(findInlineResource(message, "nope"), nullptr);
}
