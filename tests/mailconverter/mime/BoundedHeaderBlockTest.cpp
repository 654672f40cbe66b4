// A header field past kMaxHeaderFieldBytes is cut before GMime reads it, where what is kept
// still decodes, and the fields after it are read as ever.
#include "mailconverter/mime/BoundedHeaderBlock.h"

#include "mailconverter/mime/HeaderDecoding.h"
#include "tests/mailconverter/mime/MimeTestHelpers.h"

#include <gtest/gtest.h>

using namespace tessaly;
using tessaly::test::crlf;

namespace {

/// The message `text` parsed from a file, as the worker parses it; `file` keeps the file.
MailMessage parseFromFile(const std::string &text, OpenFile &file)
{
    Result<OpenFile> made = OpenFile::makeUnnamed();
    EXPECT_TRUE(made && made.value().write(text));
    file = std::move(made).value();
    Result<MailMessage> parsed = parseMailMessageFile(file);
    EXPECT_TRUE(parsed) << parsed.error().message;
    return parsed ? std::move(parsed).value() : MailMessage{};
}

/// "word0001 word0002 …", folded every eight words as mailers fold long subjects.
std::string foldedWords(std::size_t bytes)
{
    std::string text;
    for (int word = 1; text.size() < bytes; ++word)
        text += (word % 8 == 0 ? "\n " : " ") + ("word" + std::to_string(word));
    return text.substr(1);
}

std::string decodedValue(std::string_view field)
{
    return decodeHeaderText(unfoldHeader(field.substr(field.find_first_not_of(' ', field.find(':') + 1))));
}

} // namespace

TEST(BoundedHeaderBlock, AFieldPastTheBoundIsCutThereAndTheBlockReadOn)
{
    const std::string subject = "Subject: " + foldedWords(3 * kMaxHeaderFieldBytes) + "\n";
    const std::string block = "From: Ann <ann@example.com>\n" + subject + "To: bob@example.com\n";
    OpenFile file;
    const MailMessage message =
        parseFromFile(crlf("From ann@example.com Mon Jan  2 10:00:00 2023\n" + block + "\nThe body.\n"), file);

    const std::string whole = decodedValue(subject);
    EXPECT_GT(message.subject.size(), kMaxHeaderFieldBytes * 9 / 10);
    EXPECT_LT(message.subject.size(), kMaxHeaderFieldBytes);
    EXPECT_TRUE(whole.starts_with(message.subject)) << message.subject.substr(message.subject.size() - 40);
    ASSERT_EQ(message.to.size(), 1u);
    EXPECT_EQ(message.to[0].address, "bob@example.com");
    ASSERT_EQ(message.bodies.size(), 1u);
    EXPECT_EQ(message.bodies[0].text, "The body.\n");
    ASSERT_EQ(message.cutHeaderFields.size(), 1u);
    EXPECT_EQ(message.cutHeaderFields[0].name, "Subject");
    EXPECT_EQ(message.cutHeaderFields[0].bytes, crlf(subject).size());
    const Result<std::string> kept = readWholeHeaderBlock(file, message);
    ASSERT_TRUE(kept) << kept.error().message;
    EXPECT_EQ(kept.value(), crlf(block));
}

TEST(BoundedHeaderBlock, AFieldOfTheBoundItselfAndAMessageOfHeadersOnlyAreReadWhole)
{
    const std::string fits = "X-Fits: " + std::string(kMaxHeaderFieldBytes - 9, 'f') + "\n";
    OpenFile file;
    EXPECT_TRUE(parseFromFile(fits + "Subject: s\n\nbody\n", file).cutHeaderFields.empty());

    // No empty line: the file ends inside the header block, with the cut field last.
    const std::string past = "Subject: " + std::string(kMaxHeaderFieldBytes, 's');
    const MailMessage headersOnly = parseFromFile("To: bob@example.com\n" + past, file);
    EXPECT_EQ(headersOnly.subject, std::string(kMaxHeaderFieldBytes - 10, 's'));
    ASSERT_EQ(headersOnly.to.size(), 1u);
    ASSERT_EQ(headersOnly.cutHeaderFields.size(), 1u);
    EXPECT_EQ(headersOnly.cutHeaderFields[0].bytes, past.size());
    EXPECT_TRUE(headersOnly.bodies.empty());
}

TEST(HeaderFieldCut, WhatIsKeptStillDecodes)
{
    // "é€😀a" three times, whose characters straddle the quanta of its base64 form.
    std::string base64Word = "=?utf-8?B?";
    std::string quotedWord = "=?UTF-8?Q?";
    std::string encodedWords = "Subject:";
    for (int i = 0; i < 2000; ++i) {
        base64Word += "w6nigqzwn5iAYcOp4oKs8J+YgGHDqeKCrPCfmIBh";
        quotedWord += "caf=C3=A9_=E2=82=AC_=F0=9F=98=80";
        encodedWords +=
            (i % 2 ? "\r\n =?iso-8859-1?Q?caf=E9_" : " =?utf-8?B?w6k=?= =?iso-8859-1?Q?") + std::to_string(i) + "?=";
    }
    struct Row
    {
        const char *what;
        std::string field;
        std::size_t firstRoom;   ///< where the cuts tried start, one byte apart
        std::size_t mostLeftOut; ///< at most this much of the room is left unused
    };
    const Row rows[] = {
        {"raw UTF-8", "Subject: " + std::string(300, 'a') + "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80 tail", 300, 3},
        {"folds", "Subject: " + foldedWords(1000), 500, 2},
        {"encoded words", encodedWords, 1000, 40},
        {"one long base64 word", "Subject: " + base64Word + "?=", 40000, 12},
        {"one long quoted word", "Subject: " + quotedWord + "?=", 30000, 14},
    };
    for (const Row &row : rows) {
        const std::string whole = decodedValue(row.field);
        for (std::size_t room = row.firstRoom; room < std::min(row.firstRoom + 48, row.field.size()); ++room) {
            SCOPED_TRACE(std::string(row.what) + ", room " + std::to_string(room));
            const std::string cut = cutHeaderField(row.field, room);
            ASSERT_LE(cut.size(), room);
            EXPECT_GE(cut.size() + row.mostLeftOut, room);
            const std::string decoded = decodedValue(cut);
            EXPECT_EQ(decoded.find("\xEF\xBF\xBD"), std::string::npos) << decoded.substr(decoded.size() - 30);
            EXPECT_TRUE(whole.starts_with(decoded)) << cut.substr(cut.size() - 30);
        }
        EXPECT_EQ(cutHeaderField(row.field, row.field.size()), row.field);
    }
}
