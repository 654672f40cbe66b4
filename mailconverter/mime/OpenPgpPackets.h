// The recipients an OpenPGP message names in its session key packets, read without any key.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly {

/// Whom an OpenPGP encrypted message is for, as its packets before the encrypted data say.
struct OpenPgpRecipients
{
    /// The 64-bit key IDs of the public-key session key packets (RFC 4880 5.1, RFC 9580 5.1),
    /// in packet order; 0 stands for a recipient the sender hid (the "wildcard" key ID).
    std::vector<std::uint64_t> keyIds;
    bool passphrase = false;       ///< a symmetric-key session key packet: a passphrase opens it too
    std::size_t keyIdsLeftOut = 0; ///< key IDs past the cap, counted but not kept
};

/// Reads the packets of an OpenPGP message, binary or ASCII-armored ("-----BEGIN PGP
/// MESSAGE-----"), up to its first encrypted data packet. Reading is bounded: it stops at
/// the first packet it cannot read, after kMaxOpenPgpPackets packets, and keeps at most
/// kMaxOpenPgpKeyIds key IDs. Nothing readable gives an empty result.
OpenPgpRecipients readOpenPgpRecipients(std::string_view message);

inline constexpr std::size_t kMaxOpenPgpPackets = 256;
inline constexpr std::size_t kMaxOpenPgpKeyIds = 64;

/// A key ID as OpenPGP tools print it in long form: 16 upper-case hex digits.
std::string formatOpenPgpKeyId(std::uint64_t keyId);

} // namespace tessaly
