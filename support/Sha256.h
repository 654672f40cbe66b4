// SHA-256 (FIPS 180-4), for fingerprinting message bytes in the index file.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tessaly {

/// Hashes bytes fed in pieces of any size.
class Sha256
{
public:
    /// How the rounds are computed: with the CPU's SHA instructions where it has them, or
    /// portably (the same digests, for checking the two against each other).
    enum class Rounds
    {
        Fastest,
        Portable
    };

    explicit Sha256(Rounds rounds = Rounds::Fastest);
    void add(std::string_view bytes);
    /// The digest as 64 lower-case hex digits. Ends the hashing: call once.
    std::string hexDigest();

private:
    /// Hashes `count` whole 64-byte blocks, with the CPU's SHA instructions where it has them.
    void compressBlocks(const unsigned char *blocks, std::size_t count);
    void compressBlock(const unsigned char *block);

    std::array<std::uint32_t, 8> m_state;
    std::array<unsigned char, 64> m_block{};
    std::size_t m_blockFill = 0;
    std::uint64_t m_totalBytes = 0;
    bool m_useCpuInstructions = false;
};

/// The SHA-256 of `bytes` as 64 lower-case hex digits.
std::string sha256Hex(std::string_view bytes);

} // namespace tessaly
