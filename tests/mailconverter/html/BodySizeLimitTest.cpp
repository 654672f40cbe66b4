#include "mailconverter/html/BodySizeLimit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace tessaly;

namespace {

BodyPart body(BodyPart::Kind kind, std::string text)
{
    return BodyPart{kind, std::move(text), {}};
}

// Numbered lines up to `bytes`, each ending in a line feed.
std::string lines(std::size_t bytes)
{
    std::string text;
    for (int line = 1; text.size() < bytes; ++line)
        text += "line " + std::to_string(line) + " of a body far longer than anyone will read\n";
    return text;
}

} // namespace

TEST(BodySizeLimit, LongBodiesAreCutAtALineEndAndKeptWholeForThePdf)
{
    MailMessage message;
    const std::string longText = lines(kMaxBodyBytes + 1000);
    const std::string shortText = lines(1000);
    message.bodies = {body(BodyPart::Kind::PlainText, longText), body(BodyPart::Kind::PlainText, shortText)};
    MailMessage forwarded;
    const std::string longHtml = "<p>" + lines(kMaxBodyBytes * 2);
    forwarded.bodies = {body(BodyPart::Kind::Html, longHtml)};
    message.forwarded.push_back(forwarded);

    std::vector<CutBody> cut;
    std::vector<std::string> warnings;
    limitBodySizes(message, "", cut, warnings);

    // The page keeps whole lines up to the limit, then says where the rest went.
    const std::string &shown = message.bodies[0].text;
    const std::size_t kept = longText.rfind('\n', kMaxBodyBytes);
    EXPECT_EQ(shown.substr(0, kept), longText.substr(0, kept));
    EXPECT_LT(shown.size(), kMaxBodyBytes + 200);
    EXPECT_NE(shown.find("is too long to show here. The whole text is attached to this PDF as \"message body.txt\""),
              std::string::npos)
        << shown.substr(kept);
    EXPECT_EQ(message.bodies[1].text, shortText);
    EXPECT_NE(message.forwarded[0].bodies[0].text.find("<p>[The rest of this body"), std::string::npos);

    // Each cut body travels whole, named by its kind and numbered from the second on.
    ASSERT_EQ(cut.size(), 2u);
    EXPECT_EQ(cut[0].fileName, "message body.txt");
    EXPECT_EQ(cut[0].mimeType, "text/plain");
    EXPECT_EQ(cut[0].text, longText);
    EXPECT_EQ(cut[1].fileName, "message body 2.html");
    EXPECT_EQ(cut[1].mimeType, "text/html");
    EXPECT_EQ(cut[1].text, longHtml);
    ASSERT_EQ(warnings.size(), 2u);
    EXPECT_NE(warnings[0].find("'message body.txt'"), std::string::npos) << warnings[0];

    // Should the pages be cut too, only the body left whole joins them: none travels twice.
    EXPECT_EQ(keepUncutBodies(message, cut), 1u);
    ASSERT_EQ(cut.size(), 3u);
    EXPECT_EQ(cut[2].fileName, "message body 3.txt");
    EXPECT_EQ(cut[2].text, shortText);
}

TEST(BodySizeLimit, ALineWithoutEndIsCutBetweenCharactersAndAnEmbeddedSourceStandsForIt)
{
    // Three-byte characters with no line feed: the limit falls inside one of them.
    std::string text;
    while (text.size() <= kMaxBodyBytes + 10)
        text += "\xE6\x97\xA5";
    ASSERT_NE(kMaxBodyBytes % 3, 0u);
    MailMessage message;
    message.bodies = {body(BodyPart::Kind::PlainText, text)};

    std::vector<CutBody> cut;
    std::vector<std::string> warnings;
    limitBodySizes(message, "Huge.eml", cut, warnings);

    const std::string &shown = message.bodies[0].text;
    const std::size_t noteStart = shown.find("\n\n[The rest");
    ASSERT_NE(noteStart, std::string::npos);
    EXPECT_EQ(noteStart % 3, 0u) << "cut inside a character";
    EXPECT_GT(noteStart, kMaxBodyBytes - 3);
    EXPECT_NE(shown.find("The whole message is attached to this PDF as \"Huge.eml\""), std::string::npos);
    // The message's own source carries the text, so it is not embedded a second time.
    EXPECT_TRUE(cut.empty());
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("'Huge.eml'"), std::string::npos) << warnings[0];
}

TEST(BodySizeLimit, ManyBodiesTogetherKeepWithinOnePage)
{
    // Each body under the limit, together far over it: Qt's layout overflowed and drew one
    // blank page. Short lines fill pages faster than bytes do.
    std::string shortLines;
    while (shortLines.size() < kMaxBodyBytes - 8)
        shortLines += "a line\n";
    struct Row
    {
        const char *fault;
        std::vector<std::string> texts;
    };
    const Row rows[] = {
        {"24 parts of 1.9 MB", std::vector<std::string>(24, lines(kMaxBodyBytes * 95 / 100))},
        {"three parts of short lines", std::vector<std::string>(3, shortLines)},
    };
    for (const Row &row : rows) {
        MailMessage message;
        for (const std::string &text : row.texts)
            message.bodies.push_back(body(BodyPart::Kind::PlainText, text));
        std::vector<CutBody> cut;
        std::vector<std::string> warnings;
        limitBodySizes(message, "", cut, warnings);

        std::size_t shownBytes = 0;
        std::size_t shownLines = 0;
        for (const BodyPart &shown : message.bodies) {
            shownBytes += shown.text.size();
            shownLines += static_cast<std::size_t>(std::count(shown.text.begin(), shown.text.end(), '\n'));
        }
        EXPECT_LT(shownBytes, kMaxPageBytes + row.texts.size() * 200) << row.fault;
        EXPECT_LT(shownLines, kMaxPageLines + row.texts.size() * 3) << row.fault;
        // What the page leaves out travels whole, each body once.
        std::size_t shownWhole = 0;
        for (std::size_t i = 0; i < row.texts.size(); ++i)
            shownWhole += message.bodies[i].text == row.texts[i] ? 1 : 0;
        ASSERT_EQ(shownWhole + cut.size(), row.texts.size()) << row.fault;
        EXPECT_EQ(cut.back().text, row.texts.back()) << row.fault;
        EXPECT_FALSE(warnings.empty()) << row.fault;
    }
}
