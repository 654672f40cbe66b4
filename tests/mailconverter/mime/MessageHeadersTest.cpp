// One header decoder: the naming reader (header block alone) and the worker's model (the whole
// file parsed) give the same text for the same header.
#include "mailconverter/mime/MessageHeaders.h"

#include "mailconverter/mime/GMimeMessageReader.h"
#include "mailconverter/mime/HeaderDecoding.h"
#include "tests/mailconverter/mime/MimeTestHelpers.h"

#include <gtest/gtest.h>

using namespace tessaly;
using namespace tessaly::test;

namespace {

/// `text` with CR LF line ends parsed from a file, as the worker parses it.
MailMessage parseAsTheWorkerDoes(std::string_view text)
{
    Result<OpenFile> file = OpenFile::makeUnnamed();
    EXPECT_TRUE(file && file.value().write(crlf(text)));
    Result<MailMessage> parsed = parseMailMessageFile(file.value());
    EXPECT_TRUE(parsed) << parsed.error().message;
    return parsed ? std::move(parsed).value() : MailMessage{};
}

std::string manyEncodedWords(std::string_view word)
{
    std::string words;
    for (std::size_t i = 0; i <= kMaxEncodedWordStartsForGMime; ++i)
        words.append(word).append(" ");
    return words;
}

} // namespace

TEST(MessageHeaders, AwkwardSubjectsAreNamedAsTheyAreDrawn)
{
    const std::pair<std::string, std::string> cases[] = {
        // U+1F600 (F0 9F 98 80) split across two words, and across a fold.
        {"=?UTF-8?B?8J8=?= =?UTF-8?B?mIA=?=", "\U0001F600"},
        {"=?UTF-8?Q?smile_=F0=9F?=\n =?UTF-8?Q?=98=80_end?=", "smile \U0001F600 end"},
        {"=?no-such-charset?B?Y2Fmw6k=?= au lait", "café au lait"},
        {"Gr\xC3\xBC\xC3\x9F"
         "e aus K\xC3\xB6ln",
         "Grüße aus Köln"},
        {"Gr\xFC\xDF"
         "e aus K\xF6ln",
         "Grüße aus Köln"},
        {"=?utf-8?B?SGVsbG8?= there", "Hello there"},
        {"=?x-unknown?Q?J=F6rg?=", "Jörg"},
        {"=?x-unknown?B?R3LDvMOfZQ?=", "Grüße"},
    };
    for (const auto &[subject, expected] : cases) {
        SCOPED_TRACE(subject);
        const std::string message = "From a@example.com Mon Jan  2 10:00:00 2023\nFrom: Ann <ann@example.com>\n"
                                    "Subject: " +
                                    subject + "\n\nbody\n";
        auto reader = gmimeMessageReaderFactory()();
        ASSERT_TRUE(reader->LoadMessage(crlf(message)));
        EXPECT_EQ(reader->Subject(), expected);
        EXPECT_EQ(parseAsTheWorkerDoes(message).subject, expected);
        EXPECT_EQ(parse(message).subject, expected);
    }
}

// The model took a field GMime was not given before the first field of its name; naming took
// the first.
TEST(MessageHeaders, TheFirstOfTwoFieldsWinsWhenTheOtherIsKeptFromGMime)
{
    const std::string message = "Subject: the first\nSubject: " + manyEncodedWords("=?utf-8?Q?b?=") +
                                "\nFrom: " + manyEncodedWords("=?utf-8?Q?c?=") + "<c@example.com>\n" +
                                "From: Ann <ann@example.com>\n\nbody\n";
    const MessageHeaders named = readMessageHeaders(crlf(message), kMaxHeaderBlockBytes);
    const MailMessage drawn = parseAsTheWorkerDoes(message);
    EXPECT_EQ(named.subject, "the first");
    EXPECT_EQ(drawn.subject, "the first");
    ASSERT_EQ(drawn.from.size(), 1u);
    EXPECT_EQ(named.from, drawn.from);
    EXPECT_EQ(drawn.from[0].address, "c@example.com");
}
