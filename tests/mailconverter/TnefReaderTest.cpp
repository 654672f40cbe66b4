// The winmail.dat reader, against streams built here by a small TNEF writer.
#include "TnefReader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

using namespace tessaly;

namespace {

void putLe(std::string &out, std::uint64_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

void pad4(std::string &out, std::size_t length)
{
    out.append((4 - length % 4) % 4, '\0');
}

/// Writes TNEF streams the way Outlook lays them out.
class TnefWriter
{
public:
    TnefWriter()
    {
        putLe(m_bytes, 0x223E9F78, 4);
        putLe(m_bytes, 0x1234, 2);
        attribute(1, 0x00089006, std::string("\x00\x00\x01\x00", 4)); // attTnefVersion
    }

    void attribute(std::uint8_t level, std::uint32_t id, const std::string &data)
    {
        m_bytes.push_back(static_cast<char>(level));
        putLe(m_bytes, id, 4);
        putLe(m_bytes, data.size(), 4);
        m_bytes += data;
        std::uint32_t sum = 0;
        for (char c : data)
            sum += static_cast<unsigned char>(c);
        putLe(m_bytes, sum & 0xFFFF, 2);
    }

    /// One attachment: rendering data, title, data and, when given, a MAPI property list
    /// with PR_ATTACH_LONG_FILENAME in UTF-16.
    void addFile(const std::string &title, const std::string &data, const std::u16string &longName = {})
    {
        attribute(2, 0x00069002, std::string(14, '\0'));
        attribute(2, 0x00018010, title + '\0');
        attribute(2, 0x0006800F, data);
        if (longName.empty())
            return;
        std::string props;
        putLe(props, 3, 4);
        putLe(props, 0x0003, 2); // PR_ATTACH_METHOD, a fixed-size value
        putLe(props, 0x3705, 2);
        putLe(props, 1, 4);
        putLe(props, 0x0102, 2); // a named binary property, to be skipped
        putLe(props, 0x8001, 2);
        props.append(16, 'g');
        putLe(props, 1, 4);     // named by string
        putLe(props, 6, 4);
        props.append("n\0m\0\0\0", 6);
        pad4(props, 6);
        putLe(props, 1, 4);
        putLe(props, 3, 4);
        props.append("abc");
        pad4(props, 3);
        putLe(props, 0x001F, 2);
        putLe(props, 0x3707, 2);
        putLe(props, 1, 4);
        std::string utf16;
        for (char16_t unit : longName + u'\0')
            putLe(utf16, unit, 2);
        putLe(props, utf16.size(), 4);
        props += utf16;
        pad4(props, utf16.size());
        attribute(2, 0x00069005, props);
    }

    const std::string &bytes() const { return m_bytes; }

private:
    std::string m_bytes;
};

} // namespace

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
