#include "support/Sha256.h"

#include <cstring>

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#include <cpuid.h>
#include <immintrin.h>
#define TESSALY_SHA_EXTENSIONS 1
#endif

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

#ifdef TESSALY_SHA_EXTENSIONS
// The x86 SHA extensions hash about eight times faster than the portable rounds below, which
// matters because every message of a run is hashed as it is split.
bool hasShaExtensions()
{
    unsigned int eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx) || !(ecx & bit_SSE4_1) || !(ecx & bit_SSSE3))
        return false;
    if (!__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx))
        return false;
    return (ebx & (1u << 29)) != 0;
}

const bool kUseShaExtensions = hasShaExtensions();

/// Hashes `blocks` 64-byte blocks into `state` with the SHA extensions. The instructions keep
/// the state as the words ABEF and CDGH, and take the message schedule four words at a time.
__attribute__((target("sha,sse4.1,ssse3"))) void
compressWithShaExtensions(std::uint32_t *state, const unsigned char *data, std::size_t blocks)
{
    const __m128i byteSwap = _mm_set_epi64x(0x0c0d0e0f08090a0bLL, 0x0405060700010203LL);
    __m128i cdab = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i *>(state)), 0xB1);
    __m128i efgh = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i *>(state + 4)), 0x1B);
    __m128i abef = _mm_alignr_epi8(cdab, efgh, 8);
    __m128i cdgh = _mm_blend_epi16(efgh, cdab, 0xF0);

    for (; blocks > 0; --blocks, data += 64) {
        const __m128i abefBefore = abef;
        const __m128i cdghBefore = cdgh;
        __m128i words[4];
        for (std::size_t group = 0; group < 16; ++group) {
            __m128i &current = words[group % 4];
            if (group < 4) {
                current =
                    _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i *>(data + 16 * group)), byteSwap);
            } else {
                const __m128i &previous = words[(group + 3) % 4];
                const __m128i sevenBack = _mm_alignr_epi8(previous, words[(group + 2) % 4], 4);
                current = _mm_sha256msg2_epu32(
                    _mm_add_epi32(_mm_sha256msg1_epu32(current, words[(group + 1) % 4]), sevenBack), previous);
            }
            __m128i input = _mm_add_epi32(
                current, _mm_loadu_si128(reinterpret_cast<const __m128i *>(kRoundConstants.data() + 4 * group)));
            cdgh = _mm_sha256rnds2_epu32(cdgh, abef, input);
            input = _mm_shuffle_epi32(input, 0x0E);
            abef = _mm_sha256rnds2_epu32(abef, cdgh, input);
        }
        abef = _mm_add_epi32(abef, abefBefore);
        cdgh = _mm_add_epi32(cdgh, cdghBefore);
    }

    const __m128i feba = _mm_shuffle_epi32(abef, 0x1B);
    const __m128i dchg = _mm_shuffle_epi32(cdgh, 0xB1);
    _mm_storeu_si128(reinterpret_cast<__m128i *>(state), _mm_blend_epi16(feba, dchg, 0xF0));
    _mm_storeu_si128(reinterpret_cast<__m128i *>(state + 4), _mm_alignr_epi8(dchg, feba, 8));
}
#endif

} // namespace

Sha256::Sha256(Rounds rounds)
    : m_state{0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a, 0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19}
{
#ifdef TESSALY_SHA_EXTENSIONS
    m_useCpuInstructions = rounds == Rounds::Fastest && kUseShaExtensions;
#else
    (void)rounds;
#endif
}

void Sha256::add(std::string_view bytes)
{
    m_totalBytes += bytes.size();
    const auto *data = reinterpret_cast<const unsigned char *>(bytes.data());
    std::size_t size = bytes.size();
    while (size > 0) {
        if (m_blockFill == 0 && size >= 64) {
            const std::size_t blocks = size / 64;
            compressBlocks(data, blocks);
            data += 64 * blocks;
            size -= 64 * blocks;
            continue;
        }
        const std::size_t taken = std::min(size, 64 - m_blockFill);
        std::memcpy(m_block.data() + m_blockFill, data, taken);
        m_blockFill += taken;
        data += taken;
        size -= taken;
        if (m_blockFill == 64) {
            compressBlocks(m_block.data(), 1);
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

void Sha256::compressBlocks(const unsigned char *blocks, std::size_t count)
{
#ifdef TESSALY_SHA_EXTENSIONS
    if (m_useCpuInstructions) {
        compressWithShaExtensions(m_state.data(), blocks, count);
        return;
    }
#endif
    for (std::size_t i = 0; i < count; ++i)
        compressBlock(blocks + 64 * i);
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
