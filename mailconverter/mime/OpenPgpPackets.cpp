// Reading the session key packets of an OpenPGP message (RFC 4880 section 4, RFC 9580).
#include "mailconverter/mime/OpenPgpPackets.h"

#include "mailconverter/mime/Base64Decoding.h"

#include <optional>

namespace tessaly {
namespace {

constexpr int kTagPublicKeySessionKey = 1;
constexpr int kTagSymmetricKeySessionKey = 3;
constexpr std::string_view kArmorBegin = "-----BEGIN PGP MESSAGE-----";

// The base64 between the armor's header lines and its checksum or end line, decoded; the
// bytes as they are when there is no armor.
std::string dearmored(std::string_view message)
{
    const std::size_t begin = message.find(kArmorBegin);
    if (begin == std::string_view::npos)
        return std::string(message);
    std::size_t pos = message.find('\n', begin);
    std::string base64;
    bool inHeaders = true;
    while (pos != std::string_view::npos && pos + 1 < message.size()) {
        const std::size_t start = pos + 1;
        pos = message.find('\n', start);
        std::string_view line = message.substr(start, pos == std::string_view::npos ? pos : pos - start);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
            line.remove_suffix(1);
        // Armor headers ("Version: …") run up to a blank line; some writers leave them out.
        if (inHeaders && line.find(": ") != std::string_view::npos)
            continue;
        inHeaders = false;
        // The checksum line ("=abcd") and the end line close the data.
        if (line.starts_with("=") || line.starts_with("-----"))
            break;
        base64 += line;
    }
    return decodeBase64(base64);
}

struct PacketHeader
{
    int tag = 0;
    std::size_t bodyStart = 0;
    std::optional<std::size_t> bodyLength; ///< nullopt: partial or indeterminate, up to the end
};

std::size_t bigEndian(std::string_view bytes, std::size_t at, std::size_t count)
{
    std::size_t value = 0;
    for (std::size_t i = 0; i < count; ++i)
        value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

// The packet header at `at`; nullopt when the bytes there are no packet header.
std::optional<PacketHeader> readPacketHeader(std::string_view bytes, std::size_t at)
{
    if (at >= bytes.size())
        return std::nullopt;
    const unsigned char first = static_cast<unsigned char>(bytes[at]);
    if (!(first & 0x80))
        return std::nullopt;
    PacketHeader header;
    const std::size_t left = bytes.size() - at - 1;
    if (!(first & 0x40)) {
        // Old format: the tag in bits 5-2, the length's size in bits 1-0.
        header.tag = (first >> 2) & 0x0F;
        const int lengthType = first & 0x03;
        if (lengthType == 3) {
            header.bodyStart = at + 1;
            return header;
        }
        const std::size_t size = std::size_t(1) << lengthType;
        if (left < size)
            return std::nullopt;
        header.bodyStart = at + 1 + size;
        header.bodyLength = bigEndian(bytes, at + 1, size);
        return header;
    }
    header.tag = first & 0x3F;
    if (left < 1)
        return std::nullopt;
    const unsigned char octet = static_cast<unsigned char>(bytes[at + 1]);
    if (octet < 192) {
        header.bodyStart = at + 2;
        header.bodyLength = octet;
    } else if (octet < 224) {
        if (left < 2)
            return std::nullopt;
        header.bodyStart = at + 3;
        header.bodyLength = ((octet - 192u) << 8) + static_cast<unsigned char>(bytes[at + 2]) + 192u;
    } else if (octet == 255) {
        if (left < 5)
            return std::nullopt;
        header.bodyStart = at + 6;
        header.bodyLength = bigEndian(bytes, at + 2, 4);
    } else {
        header.bodyStart = at + 2; // a partial body length: only data packets use it
    }
    return header;
}

// The recipient's key ID from a public-key session key packet's body; nullopt for a
// version we do not know.
std::optional<std::uint64_t> sessionKeyRecipient(std::string_view body)
{
    if (body.empty())
        return std::nullopt;
    const int version = static_cast<unsigned char>(body[0]);
    if (version == 3 && body.size() >= 9)
        return bigEndian(body, 1, 8);
    if (version == 6 && body.size() >= 2) {
        // A key version and fingerprint, or nothing for a hidden recipient. A v6 key's ID is
        // the start of its fingerprint, a v4 key's the end (RFC 9580 5.5.4).
        const std::size_t length = static_cast<unsigned char>(body[1]);
        if (length == 0)
            return 0;
        if (body.size() < 2 + length || length < 9)
            return std::nullopt;
        const int keyVersion = static_cast<unsigned char>(body[2]);
        return keyVersion == 6 ? bigEndian(body, 3, 8) : bigEndian(body, 2 + length - 8, 8);
    }
    return std::nullopt;
}

} // namespace

OpenPgpRecipients readOpenPgpRecipients(std::string_view message)
{
    const std::string bytes = dearmored(message);
    OpenPgpRecipients recipients;
    std::size_t at = 0;
    for (std::size_t packets = 0; packets < kMaxOpenPgpPackets; ++packets) {
        const std::optional<PacketHeader> header = readPacketHeader(bytes, at);
        if (!header || !header->bodyLength || *header->bodyLength > bytes.size() - header->bodyStart)
            break;
        const std::string_view body = std::string_view(bytes).substr(header->bodyStart, *header->bodyLength);
        if (header->tag == kTagSymmetricKeySessionKey) {
            recipients.passphrase = true;
        } else if (header->tag == kTagPublicKeySessionKey) {
            if (const std::optional<std::uint64_t> keyId = sessionKeyRecipient(body)) {
                if (recipients.keyIds.size() < kMaxOpenPgpKeyIds)
                    recipients.keyIds.push_back(*keyId);
                else
                    ++recipients.keyIdsLeftOut;
            }
        } else {
            break; // the encrypted data, or something else: the session keys come first
        }
        at = header->bodyStart + *header->bodyLength;
    }
    return recipients;
}

std::string formatOpenPgpKeyId(std::uint64_t keyId)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text(16, '0');
    for (int i = 15; i >= 0; --i, keyId >>= 4)
        text[static_cast<std::size_t>(i)] = kDigits[keyId & 0x0F];
    return text;
}

} // namespace tessaly
