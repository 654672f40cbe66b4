// Inline images beyond a message's drawing budget: never drawn, never lost.
#include "mailconverter/render/ImageBudget.h"
#include "tests/fidelity/FidelityHarness.h"
#include "tests/mailconverter/render/PdfProbe.h"

#include <gtest/gtest.h>

using namespace tessaly;
using namespace tessaly::test;

namespace {

/// An HTML message showing each of `images` (PNG bytes) inline, by Content-ID.
QByteArray messageWithInlineImages(const QList<QByteArray> &images)
{
    QByteArray html = "<p>Pictures follow.</p>";
    QByteArray parts;
    for (int i = 0; i < images.size(); ++i) {
        const QByteArray id = "img" + QByteArray::number(i) + "@x";
        html += "<img src=\"cid:" + id + "\">";
        parts += "--rel\r\nContent-Type: image/png\r\nContent-ID: <" + id +
                 ">\r\nContent-Transfer-Encoding: base64\r\n\r\n" + images[i].toBase64() + "\r\n";
    }
    return "From: a@example.com\r\nSubject: Pictures\r\nMIME-Version: 1.0\r\n"
           "Content-Type: multipart/related; boundary=\"rel\"\r\n\r\n"
           "--rel\r\nContent-Type: text/html; charset=utf-8\r\n\r\n" +
           html + "\r\n" + parts + "--rel--\r\n";
}

bool anyWarningHas(const RenderedMessage &rendered, const std::string &text)
{
    for (const std::string &warning : rendered.warnings) {
        if (warning.find(text) != std::string::npos)
            return true;
    }
    return false;
}

} // namespace

TEST(ImageBudget, AnImageTooLargeToDrawIsListedAndKeptUnderEachOption)
{
    const QByteArray message =
        messageWithInlineImages({encodedImage(QSize(120, 80), Qt::darkGreen), pngHeaderClaiming(20000, 20000)});

    const RenderedMessage listed = renderMessage(message, QStringLiteral("budget-list"), "-c pdf");
    ASSERT_TRUE(listed.converted) << listed.error.toStdString();
    EXPECT_TRUE(listed.images.contains(QSize(120, 80)));
    const QString text = listed.layoutText.simplified();
    EXPECT_TRUE(
        text.contains(QStringLiteral("Not drawn: 1 image (inline image 1.png), over this message's budget of 64 "
                                     "megapixels; listed with the attachments")))
        << text.toStdString();
    // Not saved anywhere under this option: the run must keep the message file.
    EXPECT_TRUE(anyWarningHas(listed, "the message file is kept"));

    const RenderedMessage embedded = renderMessage(message, QStringLiteral("budget-embed"), "-c PDF -attach");
    ASSERT_TRUE(embedded.converted) << embedded.error.toStdString();
    EXPECT_TRUE(embedded.embeddedFiles.contains(QStringLiteral("inline image 1.png")));
    EXPECT_TRUE(anyWarningHas(embedded, "not drawn"));
    EXPECT_FALSE(anyWarningHas(embedded, "the message file is kept"));
}

TEST(ImageBudget, ManySmallImagesCostAtLeastTheMinimumEach)
{
    MailMessage message;
    const std::string pixel = encodedImage(QSize(1, 1), Qt::red).toStdString();
    for (int i = 0; i < 30; ++i)
        message.inlineResources.push_back(InlineResource{std::to_string(i), "", "image/png", pixel});
    const UndrawnImages undrawn = keepImagesWithinBudget(message, 16 * kMinimumImageCost);
    EXPECT_EQ(message.inlineResources.size(), 16u);
    EXPECT_EQ(message.inlineResources.back().contentId, "15");
    ASSERT_EQ(undrawn.names.size(), 14u);
    ASSERT_EQ(message.attachments.size(), 14u);
    EXPECT_EQ(message.attachments.front().declaredName, "inline image 1.png");
    const std::string note = undrawnImagesNote(undrawn);
    EXPECT_EQ(note.rfind("14 images (inline image 1.png, inline image 2.png, ", 0), 0u) << note;
    EXPECT_NE(note.find("inline image 10.png and 4 more), over this message's budget"), std::string::npos) << note;
}
