// The winmail.dat reader, against streams built here by a small TNEF writer.
#include "mailconverter/readers/TnefReader.h"

#include "tests/mailconverter/readers/TnefTestWriter.h"

#include <gtest/gtest.h>

#include <string>

using namespace tessaly;
using tessaly::testing::TnefWriter;

TEST(TnefReader, ReadsEveryFileWithItsLongName)
{
    TnefWriter tnef;
    tnef.attribute(1, 0x00018004, "Quarterly\0"); // attSubject, a message attribute
    const std::string binary("\x00\x01\xFF\xFE zip-ish \x00", 14);
    tnef.addFile("REPORT~1.PDF", "%PDF-1.4 fake", u"Report für 2021 — final.pdf");
    tnef.addFile("notes.txt", binary);
    tnef.addFile("empty.bin", "");

    Result<std::vector<ExtractedAttachment>> files = readTnefAttachments(tnef.bytes());
    ASSERT_TRUE(files) << files.error().message;
    ASSERT_EQ(files.value().size(), 3u);
    EXPECT_EQ(files.value()[0].declaredName, "Report für 2021 — final.pdf");
    EXPECT_EQ(files.value()[0].mimeType, "application/pdf");
    EXPECT_EQ(files.value()[0].bytes, "%PDF-1.4 fake");
    EXPECT_EQ(files.value()[1].declaredName, "notes.txt");
    EXPECT_EQ(files.value()[1].bytes, binary);
    EXPECT_EQ(files.value()[2].bytes, "");
}

TEST(TnefReader, CorruptStreamsFailWithTheOffset)
{
    TnefWriter tnef;
    tnef.addFile("a.txt", "hello");
    const std::string good = tnef.bytes();
    ASSERT_TRUE(readTnefAttachments(good));

    std::string badChecksum = good;
    badChecksum[badChecksum.size() - 2] ^= 1;
    std::string truncated = good.substr(0, good.size() - 4);
    std::string hugeLength = good;
    hugeLength.replace(good.size() - 2 - 5 - 4, 4, "\xF0\xFF\xFF\xFF"); // length of attAttachData
    std::string badSignature = good;
    badSignature[0] = 'X';

    for (const std::string &corrupt : {badChecksum, truncated, hugeLength, badSignature, std::string()}) {
        Result<std::vector<ExtractedAttachment>> files = readTnefAttachments(corrupt);
        ASSERT_FALSE(files);
        EXPECT_NE(files.error().message.find("offset"), std::string::npos) << files.error().message;
    }

    TnefWriter bodyOnly; // a TNEF of rich text only carries no file: keep the winmail.dat
    EXPECT_FALSE(readTnefAttachments(bodyOnly.bytes()));
}

TEST(TnefReader, LyingPropertyCountsAreRejected)
{
    TnefWriter tnef;
    tnef.attribute(2, 0x00069002, std::string(14, '\0'));
    tnef.attribute(2, 0x0006800F, "data");
    tnef.attribute(2, 0x00069005, std::string("\xFF\xFF\xFF\x7F\x1F\x00\x07\x37", 8));
    EXPECT_FALSE(readTnefAttachments(tnef.bytes()));
}
