#include "mailconverter/mime/Base64Decoding.h"

#include <array>
#include <cstdint>

namespace tessaly {
namespace {

constexpr int kOutsideAlphabet = -1;

constexpr std::array<int, 256> makeValues()
{
    std::array<int, 256> values{};
    values.fill(kOutsideAlphabet);
    constexpr std::string_view alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (std::size_t i = 0; i < alphabet.size(); ++i)
        values[static_cast<unsigned char>(alphabet[i])] = static_cast<int>(i);
    return values;
}

constexpr std::array<int, 256> kValues = makeValues();

int valueOf(char c)
{
    return kValues[static_cast<unsigned char>(c)];
}

/// Where the character after `from` that is in the alphabet or "=" stands; npos when none.
std::size_t nextSignificant(std::string_view encoded, std::size_t from)
{
    for (std::size_t i = from; i < encoded.size(); ++i) {
        if (encoded[i] == '=' || valueOf(encoded[i]) != kOutsideAlphabet)
            return i;
    }
    return std::string_view::npos;
}

} // namespace

std::string decodeBase64(std::string_view encoded)
{
    std::string out;
    out.reserve(encoded.size() / 4 * 3 + 2);
    std::uint32_t quantum = 0;
    int sextets = 0;
    for (std::size_t i = 0; i < encoded.size(); ++i) {
        const char c = encoded[i];
        const int value = valueOf(c);
        if (value != kOutsideAlphabet) {
            quantum = (quantum << 6) | static_cast<std::uint32_t>(value);
            if (++sextets == 4) {
                out += static_cast<char>(quantum >> 16);
                out += static_cast<char>((quantum >> 8) & 0xFF);
                out += static_cast<char>(quantum & 0xFF);
                quantum = 0;
                sextets = 0;
            }
            continue;
        }
        if (c != '=' || sextets < 2)
            continue;
        if (sextets == 2) {
            // One byte's quantum ends only with "==".
            const std::size_t second = nextSignificant(encoded, i + 1);
            if (second != std::string_view::npos && encoded[second] != '=')
                continue;
            out += static_cast<char>(quantum >> 4);
            if (second != std::string_view::npos)
                i = second;
        } else {
            out += static_cast<char>(quantum >> 10);
            out += static_cast<char>((quantum >> 2) & 0xFF);
        }
        quantum = 0;
        sextets = 0;
    }
    if (sextets == 2) {
        out += static_cast<char>(quantum >> 4);
    } else if (sextets == 3) {
        out += static_cast<char>(quantum >> 10);
        out += static_cast<char>((quantum >> 2) & 0xFF);
    }
    return out;
}

} // namespace tessaly
