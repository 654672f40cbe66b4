// Signed and encrypted parts (RFC 1847, RFC 3156, RFC 8551): what they add to a message's
// page, read without any key.
#pragma once

#include "mailconverter/mime/MailMessage.h"

#include <optional>
#include <string>
#include <string_view>

// GMime's types, declared as its header does, so that users of holdsEncryptedParts need no GMime.
typedef struct _GMimeObject GMimeObject;
typedef struct _GMimeParserOptions GMimeParserOptions;

namespace tessaly {

/// What a signed or encrypted part adds to the message. All empty for any other part; the
/// part itself is read on as before, so its files stay attachments.
struct SecuredPartReading
{
    /// For the header block: "Signed (S/MIME) by <signers>; signature not checked" or
    /// "Signed (PGP); signature not checked". Nothing is verified: there is no trust store.
    std::string signatureNote;
    /// Shown in the body's place of encrypted content: the method, the recipients the
    /// envelope names (PGP key IDs, S/MIME certificate issuers and serials) and the size of
    /// the encrypted part.
    std::string encryptedNotice;
    /// Opaque S/MIME signed-data's content: a MIME entity read where the part stands.
    std::optional<std::string> signedEntity;
};

/// Reads multipart/signed, multipart/encrypted and application/pkcs7-mime parts (also
/// x-pkcs7-mime, and a .p7m file sent as application/octet-stream).
SecuredPartReading readSecuredPart(GMimeObject *object);

/// Parses `bytes` as a MIME entity (headers, blank line, body). A new reference, or nullptr.
GMimeObject *constructEntity(std::string_view bytes, GMimeParserOptions *options);

/// Whether `message` or a message forwarded in it holds encrypted content, which only the
/// encrypted parts themselves keep.
bool holdsEncryptedParts(const MailMessage &message);

} // namespace tessaly
