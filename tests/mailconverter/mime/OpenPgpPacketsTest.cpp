// The recipients of OpenPGP messages, from hand-built packet sequences (RFC 4880, RFC 9580).
#include "mailconverter/mime/OpenPgpPackets.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace tessaly;

namespace {

std::string bytes(std::initializer_list<int> values)
{
    std::string out;
    for (int value : values)
        out += static_cast<char>(value);
    return out;
}

// A version 3 public-key session key packet for `keyId` with a 16-byte RSA value, in the new
// packet format.
std::string sessionKeyV3(std::uint64_t keyId, std::size_t valueBytes = 16)
{
    std::string body = bytes({3});
    for (int shift = 56; shift >= 0; shift -= 8)
        body += static_cast<char>((keyId >> shift) & 0xFF);
    body += bytes({1, static_cast<int>(valueBytes * 8 >> 8), static_cast<int>(valueBytes * 8 & 0xFF)});
    body += std::string(valueBytes, '\x5A');
    if (body.size() < 192)
        return bytes({0xC1, static_cast<int>(body.size())}) + body;
    const std::size_t length = body.size() - 192;
    return bytes({0xC1, static_cast<int>(length >> 8) + 192, static_cast<int>(length & 0xFF)}) + body;
}

const std::string kEncryptedData = bytes({0xD2, 5, 1, 9, 9, 9, 9});

std::string manyRecipients(int count)
{
    std::string out;
    for (int i = 1; i <= count; ++i)
        out += sessionKeyV3(static_cast<std::uint64_t>(i));
    return out + kEncryptedData;
}

struct RecipientCase
{
    const char *name;
    std::string message;
    std::vector<std::uint64_t> keyIds;
    bool passphrase = false;
    std::size_t leftOut = 0;
};

} // namespace

TEST(OpenPgpPackets, RecipientsComeFromTheSessionKeyPacketsBeforeTheData)
{
    const std::string twoKeys = sessionKeyV3(0x1122334455667788) + sessionKeyV3(0xA1B2C3D4E5F60718) + kEncryptedData;
    const std::vector<RecipientCase> cases{
        {"NewFormatHeaders", twoKeys, {0x1122334455667788, 0xA1B2C3D4E5F60718}},
        // Old format, one-octet length: tag 1 is 0x84.
        {"OldFormatHeader",
         bytes({0x84, 12, 3, 1, 2, 3, 4, 5, 6, 7, 8, 1, 0, 0}) + kEncryptedData,
         {0x0102030405060708}},
        // A 4096-bit RSA value makes the body longer than 191 bytes: a two-octet length.
        {"TwoOctetLength", sessionKeyV3(0x0A0B0C0D0E0F1011, 512) + kEncryptedData, {0x0A0B0C0D0E0F1011}},
        {"HiddenRecipient", sessionKeyV3(0) + kEncryptedData, {0}},
        // RFC 9580 version 6: a v6 key's ID starts its fingerprint, a v4 key's ends it; no
        // fingerprint at all hides the recipient.
        {"Version6ForV6Key",
         bytes({0xC1, 36, 6, 33, 6}) + bytes({1, 2, 3, 4, 5, 6, 7, 8}) + std::string(24, '\0') + bytes({25}) +
             kEncryptedData,
         {0x0102030405060708}},
        {"Version6ForV4Key",
         bytes({0xC1, 24, 6, 21, 4}) + std::string(12, '\0') + bytes({1, 2, 3, 4, 5, 6, 7, 8, 1}) + kEncryptedData,
         {0x0102030405060708}},
        {"Version6Hidden", bytes({0xC1, 3, 6, 0, 25}) + kEncryptedData, {0}},
        {"Passphrase", bytes({0xC3, 4, 4, 9, 3, 0}) + twoKeys, {0x1122334455667788, 0xA1B2C3D4E5F60718}, true},
        // A packet longer than the bytes left, or cut in its header, ends the reading.
        {"TruncatedPacket", sessionKeyV3(0x1122334455667788) + bytes({0xC1, 100, 3, 1}), {0x1122334455667788}},
        {"CutHeader", sessionKeyV3(0x1122334455667788) + bytes({0xC1}), {0x1122334455667788}},
        {"KeysAfterTheDataAreNotRead", kEncryptedData + twoKeys, {}},
        {"NotOpenPgp", "Version: 1\r\n", {}},
        {"CappedList", manyRecipients(100),
         [] {
             std::vector<std::uint64_t> first;
             for (std::uint64_t i = 1; i <= kMaxOpenPgpKeyIds; ++i)
                 first.push_back(i);
             return first;
         }(),
         false, 100 - kMaxOpenPgpKeyIds},
    };
    for (const RecipientCase &row : cases) {
        SCOPED_TRACE(row.name);
        const OpenPgpRecipients found = readOpenPgpRecipients(row.message);
        EXPECT_EQ(found.keyIds, row.keyIds);
        EXPECT_EQ(found.passphrase, row.passphrase);
        EXPECT_EQ(found.keyIdsLeftOut, row.leftOut);
    }
}

TEST(OpenPgpPackets, ArmoredMessagesAreReadPastTheirHeaders)
{
    // sessionKeyV3(0x1122334455667788) + kEncryptedData, base64, after armor headers and
    // text before the armor.
    const std::string armored = "-----BEGIN PGP MESSAGE-----\r\n"
                                "Version: Test 1.0\r\n"
                                "Comment: made by hand\r\n"
                                "\r\n"
                                "wRwDESIzRFVmd4gBAIBaWlpaWlpaWlpaWlpaWlpa0gUBCQkJCQ==\r\n"
                                "=Abcd\r\n"
                                "-----END PGP MESSAGE-----\r\n";
    const OpenPgpRecipients found = readOpenPgpRecipients("Preamble text\n" + armored);
    EXPECT_EQ(found.keyIds, std::vector<std::uint64_t>{0x1122334455667788});
    EXPECT_EQ(formatOpenPgpKeyId(0x00AB00CD00EF0012), "00AB00CD00EF0012");
}
