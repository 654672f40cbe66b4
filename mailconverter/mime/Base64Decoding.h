// Base64 content transfer encoding (RFC 2045 6.8), decoded the way mail clients read it.
#pragma once

#include <string>
#include <string_view>

namespace tessaly {

/// Decodes base64 `encoded` as mail clients do. Characters outside the alphabet (line ends,
/// blanks, junk a gateway added) are skipped. "=" is padding only where it ends a quantum
/// (after three characters, or "==" after two); decoding goes on after it, so parts that
/// were encoded in pieces come out whole. Any other "=" is stray and skipped: GMime's own
/// decoder stopped at the first one, which cut a 50 MB attachment to 171 bytes. A quantum
/// left open at the end gives the whole bytes it holds.
std::string decodeBase64(std::string_view encoded);

} // namespace tessaly
