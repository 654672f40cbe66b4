// SHA-256 against the published test vectors.
#include "support/Sha256.h"

#include <gtest/gtest.h>

using namespace tessaly;

TEST(Sha256, MatchesTheStandardVectorsWhateverThePieces)
{
    EXPECT_EQ(sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    const std::string twoBlocks = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
    EXPECT_EQ(sha256Hex(twoBlocks), "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    const std::string million(1000000, 'a');
    EXPECT_EQ(sha256Hex(million), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
    // Fed in odd pieces, across block boundaries.
    Sha256 pieces;
    for (std::size_t start = 0; start < million.size(); start += 61)
        pieces.add(std::string_view(million).substr(start, 61));
    EXPECT_EQ(pieces.hexDigest(), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

TEST(Sha256, CpuInstructionsAndPortableRoundsGiveTheSameDigests)
{
    std::string bytes;
    for (int i = 0; i < 5000; ++i)
        bytes += static_cast<char>((i * 131 + i / 7) & 0xff);
    for (std::size_t size : {std::size_t{0}, std::size_t{55}, std::size_t{64}, std::size_t{119}, std::size_t{4999}}) {
        Sha256 fastest;
        Sha256 portable(Sha256::Rounds::Portable);
        fastest.add(std::string_view(bytes).substr(0, size));
        portable.add(std::string_view(bytes).substr(0, size));
        EXPECT_EQ(fastest.hexDigest(), portable.hexDigest()) << size;
    }
    Sha256 portable(Sha256::Rounds::Portable);
    portable.add("abc");
    EXPECT_EQ(portable.hexDigest(), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}
