// What an S/MIME part (a CMS ContentInfo, RFC 5652) holds, read with OpenSSL without any key.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly {

/// The parts of a CMS structure that a reader can see without a key or a trust store.
struct SmimeContent
{
    enum class Kind
    {
        NotCms,   ///< the bytes hold no CMS structure OpenSSL reads
        Signed,   ///< signed-data: readable content, or a detached signature
        Encrypted ///< enveloped-data or authenticated-enveloped-data
    };
    Kind kind = Kind::NotCms;
    /// Signed-data's own content (opaque signing, a MIME entity); nullopt when the signature
    /// is detached or holds no content.
    std::optional<std::string> signedContent;
    /// The e-mail addresses of the certificates the signer infos name, as the certificates
    /// give them (subjectAltName rfc822Name, else the subject's emailAddress); else their
    /// subject names. Empty when the structure carries no signer certificate.
    std::vector<std::string> signers;
    /// One line per recipient of encrypted content: "certificate serial <hex>, issued by
    /// <issuer>", "certificate with key identifier <hex>", or the kind of key.
    std::vector<std::string> recipients;
};

/// Reads DER or BER `bytes` as a CMS ContentInfo. Nothing is verified or decrypted.
SmimeContent readSmimeContent(std::string_view bytes);

/// The header block's line for a signed part: "Signed (S/MIME) by <signers>; signature not
/// checked", without " by …" when no signer is known.
std::string smimeSignatureNote(const std::vector<std::string> &signers);

} // namespace tessaly
