#include "support/Sha256.h"

#include <cstring>

namespace tessaly {
namespace {

constexpr std::array<std::uint32_t, 64> kRoundConstants{
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2,
};

constexpr std::uint32_t rotateRight(std::uint32_t value, int bits)
{
    return (value >> bits) | (value << (32 - bits));
}

} // namespace

Sha256::Sha256()
    : m_state{0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a, 0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19}
{
}

void Sha256::add(std::string_view bytes)
{
    m_totalBytes += bytes.size();
    const auto *data = reinterpret_cast<const unsigned char *>(bytes.data());
    std::size_t size = bytes.size();
    while (size > 0) {
        if (m_blockFill == 0 && size >= 64) {
            compressBlock(data);
            data += 64;
            size -= 64;
            continue;
        }
        const std::size_t taken = std::min(size, 64 - m_blockFill);
        std::memcpy(m_block.data() + m_blockFill, data, taken);
        m_blockFill += taken;
        data += taken;
        size -= taken;
        if (m_blockFill == 64) {
            compressBlock(m_block.data());
            m_blockFill = 0;
        }
    }
}

std::string Sha256::hexDigest()
{
    const std::uint64_t bitLength = m_totalBytes * 8;
    std::array<unsigned char, 72> padding{};
    padding[0] = 0x80;
    const std::size_t zeros = (m_blockFill < 56 ? 56 : 120) - m_blockFill;
    for (int i = 0; i < 8; ++i)
        padding[zeros + static_cast<std::size_t>(i)] = static_cast<unsigned char>(bitLength >> (56 - 8 * i));
    add(std::string_view(reinterpret_cast<const char *>(padding.data()), zeros + 8));

    static constexpr char kHex[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(64);
    for (std::uint32_t word : m_state) {
        for (int shift = 28; shift >= 0; shift -= 4)
            hex += kHex[(word >> shift) & 0xf];
    }
    return hex;
}

void Sha256::compressBlock(const unsigned char *block)
{
    std::array<std::uint32_t, 64> schedule;
    for (int i = 0; i < 16; ++i) {
        schedule[static_cast<std::size_t>(i)] = std::uint32_t(block[4 * i]) << 24 |
                                                std::uint32_t(block[4 * i + 1]) << 16 |
                                                std::uint32_t(block[4 * i + 2]) << 8 | std::uint32_t(block[4 * i + 3]);
    }
    for (std::size_t i = 16; i < 64; ++i) {
        const std::uint32_t s0 =
            rotateRight(schedule[i - 15], 7) ^ rotateRight(schedule[i - 15], 18) ^ (schedule[i - 15] >> 3);
        const std::uint32_t s1 =
            rotateRight(schedule[i - 2], 17) ^ rotateRight(schedule[i - 2], 19) ^ (schedule[i - 2] >> 10);
        schedule[i] = schedule[i - 16] + s0 + schedule[i - 7] + s1;
    }
    auto [a, b, c, d, e, f, g, h] = m_state;
    for (std::size_t i = 0; i < 64; ++i) {
        const std::uint32_t s1 = rotateRight(e, 6) ^ rotateRight(e, 11) ^ rotateRight(e, 25);
        const std::uint32_t choice = (e & f) ^ (~e & g);
        const std::uint32_t t1 = h + s1 + choice + kRoundConstants[i] + schedule[i];
        const std::uint32_t s0 = rotateRight(a, 2) ^ rotateRight(a, 13) ^ rotateRight(a, 22);
        const std::uint32_t majority = (a & b) ^ (a & c) ^ (b & c);
        h = g;
        g = f;
        f = e;
        e = d + t1;
        d = c;
        c = b;
        b = a;
        a = t1 + s0 + majority;
    }
    const std::array<std::uint32_t, 8> add{a, b, c, d, e, f, g, h};
    for (std::size_t i = 0; i < 8; ++i)
        m_state[i] += add[i];
}

std::string sha256Hex(std::string_view bytes)
{
    Sha256 hash;
    hash.add(bytes);
    return hash.hexDigest();
}

} // namespace tessaly
