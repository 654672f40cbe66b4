// Emoji: drawn in an outline face, and given back by the PDF's text as typed.
#include "tests/fidelity/FidelityHarness.h"

#include <gtest/gtest.h>

using namespace tessaly::test;

TEST(EmojiFidelity, EmojiAndTheirZwjSequencesCopyOutAsTyped)
{
    // Symbola draws them as outlines on the text engine's pages and Chromium's, also where the HTML names a family
    // the system lacks; those beyond U+FFFF stay in the text too.
    const QString body = QStringLiteral("Thanks \U0001F44D for the \U0001F469\u200D\U0001F4BB session. Family "
                                        "\U0001F468\u200D\U0001F469\u200D\U0001F467\u200D\U0001F466 party \U0001F600");
    const struct
    {
        const char *file;
        QString subject;
    } cases[] = {
        {"emoji-zwj-plain.eml", QStringLiteral("Emoji plain \U0001F389 launch")},
        {"emoji-zwj-html.eml", QStringLiteral("Emoji html")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.file);
        const RenderedMessage rendered = renderFidelityMessage(QString::fromLatin1(c.file));
        ASSERT_TRUE(rendered.converted) << rendered.error.toStdString();
        const QString text = rendered.text.simplified();
        EXPECT_TRUE(text.contains(body)) << rendered.text.toStdString();
        EXPECT_TRUE(text.contains(c.subject)) << rendered.text.toStdString();
        const std::string fonts = rendered.fonts.join(QLatin1Char('\n')).toStdString();
        EXPECT_FALSE(rendered.fonts.filter(QStringLiteral("Symbola")).isEmpty()) << fonts;
        // Bitmap emoji come as Type 3 fonts.
        EXPECT_TRUE(rendered.fonts.filter(QStringLiteral("Type 3")).isEmpty()) << fonts;
    }
}
