// Uuencoded blocks in plain-text bodies: decoded into attachments, or left alone when broken.
#include "mailconverter/readers/UuencodeExtractor.h"

#include "tests/mailconverter/mime/MimeTestHelpers.h"

#include <gtest/gtest.h>

#include <string>

using namespace tessaly;

namespace {

/// Encodes as the classic uuencode tool does, with "`" for zero.
std::string uuencode(const std::string &name, const std::string &bytes)
{
    auto character = [](unsigned value) { return static_cast<char>(value == 0 ? '`' : value + 0x20); };
    std::string out = "begin 644 " + name + "\n";
    for (std::size_t start = 0; start < bytes.size(); start += 45) {
        const std::size_t count = std::min<std::size_t>(45, bytes.size() - start);
        out.push_back(character(static_cast<unsigned>(count)));
        for (std::size_t i = 0; i < count; i += 3) {
            unsigned char b[3] = {0, 0, 0};
            for (std::size_t k = 0; k < 3 && i + k < count; ++k)
                b[k] = static_cast<unsigned char>(bytes[start + i + k]);
            out.push_back(character(b[0] >> 2));
            out.push_back(character(((b[0] & 0x03) << 4) | (b[1] >> 4)));
            out.push_back(character(((b[1] & 0x0F) << 2) | (b[2] >> 6)));
            out.push_back(character(b[2] & 0x3F));
        }
        out.push_back('\n');
    }
    return out + "`\nend\n";
}

std::string everyByte()
{
    std::string bytes;
    for (int round = 0; round < 3; ++round) {
        for (int b = 0; b < 256; ++b)
            bytes.push_back(static_cast<char>(b));
    }
    return bytes + "xy"; // a length that is no multiple of 3
}

} // namespace

TEST(UuencodeExtractor, DecodesBlocksAndTakesThemOutOfTheText)
{
    const std::string text = "Hi,\nhere are the files.\n\n" + uuencode("data.bin", everyByte()) +
                             "and a second one:\n" + uuencode("empty.txt", "") + "Bye\n";
    const UuencodeExtraction result = extractUuencodedFiles(text);

    EXPECT_EQ(result.text, "Hi,\nhere are the files.\n\nand a second one:\nBye\n");
    ASSERT_EQ(result.attachments.size(), 2u);
    EXPECT_EQ(result.attachments[0].declaredName, "data.bin");
    EXPECT_EQ(result.attachments[0].bytes, everyByte());
    EXPECT_EQ(result.attachments[1].declaredName, "empty.txt");
    EXPECT_EQ(result.attachments[1].mimeType, "text/plain");
    EXPECT_EQ(result.attachments[1].bytes, "");
}

TEST(UuencodeExtractor, CrLfLinesDecodeToo)
{
    const UuencodeExtraction result =
        extractUuencodedFiles(tessaly::test::crlf(uuencode("../evil name.txt", "hello world")));
    ASSERT_EQ(result.attachments.size(), 1u);
    EXPECT_EQ(result.attachments[0].bytes, "hello world");
    EXPECT_EQ(result.attachments[0].declaredName, "../evil name.txt"); // made safe later, like any name
    EXPECT_EQ(result.text, "");
}

TEST(UuencodeExtractor, MalformedBlocksStayText)
{
    const std::string prose = "To begin 644 things, read on.\nbegin 644\nbegin 999 x\n";
    const std::string noEnd = "begin 644 a.txt\n+:&5L;&\\@=V]R;&0`\n`\n";
    const std::string badLine = "begin 644 a.txt\nThis is just a sentence.\n`\nend\n";
    for (const std::string &text : {prose, noEnd, badLine}) {
        const UuencodeExtraction result = extractUuencodedFiles(text);
        EXPECT_TRUE(result.attachments.empty()) << text;
        EXPECT_EQ(result.text, text);
    }

    // A broken block before a good one doesn't hide the good one.
    const UuencodeExtraction mixed = extractUuencodedFiles(badLine + uuencode("b.txt", "ok"));
    ASSERT_EQ(mixed.attachments.size(), 1u);
    EXPECT_EQ(mixed.attachments[0].bytes, "ok");
    EXPECT_EQ(mixed.text, badLine);
}
