// Signed and encrypted parts: the signature line, the encrypted notice, opaque signed content.
#include "mailconverter/mime/SecuredPart.h"

#include "mailconverter/mime/CharsetDecoding.h"
#include "mailconverter/mime/GMimeHelpers.h"
#include "mailconverter/mime/HeaderBlockScan.h"
#include "mailconverter/mime/OpenPgpPackets.h"
#include "mailconverter/mime/SmimeContent.h"
#include "support/ByteSize.h"
#include "support/TextHelpers.h"
#include "support/Utf8.h"

#include <gmime/gmime.h>

namespace tessaly {
namespace {

// Enough of signed content to see whether it opens with a header.
constexpr std::size_t kEntityHeaderScan = 4096;

bool isType(GMimeObject *object, const char *type, const char *subtype)
{
    GMimeContentType *contentType = g_mime_object_get_content_type(object);
    return contentType && g_mime_content_type_is_type(contentType, type, subtype);
}

std::string lowerParameter(GMimeObject *object, const char *name)
{
    const char *value = g_mime_object_get_content_type_parameter(object, name);
    return value ? asciiLowercase(value) : std::string();
}

bool isSmimeSignatureType(GMimeObject *object)
{
    return isType(object, "application", "pkcs7-signature") || isType(object, "application", "x-pkcs7-signature");
}

// Outlook and older clients also send the envelope as a .p7m file of no particular type.
bool isSmimeEnvelopeType(GMimeObject *object)
{
    if (isType(object, "application", "pkcs7-mime") || isType(object, "application", "x-pkcs7-mime"))
        return true;
    const char *name = GMIME_IS_PART(object) ? g_mime_part_get_filename(GMIME_PART(object)) : nullptr;
    return isType(object, "application", "octet-stream") && name && asciiLowercase(name).ends_with(".p7m");
}

std::string partName(GMimeObject *object)
{
    const char *name = GMIME_IS_PART(object) ? g_mime_part_get_filename(GMIME_PART(object)) : nullptr;
    return name ? decodeToUtf8(name, {}) : std::string();
}

std::string encryptedNotice(std::string_view method, const std::vector<std::string> &recipients,
                            const std::string &name, std::size_t size)
{
    std::string notice = "This message is encrypted (" + std::string(method) +
                         "). Its content cannot be shown without a recipient's private key.\n\nEncrypted for:\n";
    if (recipients.empty())
        notice += "  (the message names no recipient)\n";
    for (const std::string &recipient : recipients)
        notice += "  " + recipient + "\n";
    const std::string exact = groupedNumber(size) + " bytes";
    const std::string rounded = formatByteSize(size);
    notice += "\nEncrypted part: " + (name.empty() ? std::string() : name + ", ") + rounded +
              (rounded == exact || size == 1 ? "" : " (" + exact + ")") + "\n";
    return notice;
}

std::vector<std::string> openPgpRecipientLines(const OpenPgpRecipients &found)
{
    std::vector<std::string> lines;
    for (const std::uint64_t keyId : found.keyIds)
        lines.push_back(keyId == 0 ? "a hidden recipient (key ID 0000000000000000)"
                                   : "key ID " + formatOpenPgpKeyId(keyId));
    if (found.keyIdsLeftOut > 0)
        lines.push_back("and " + std::to_string(found.keyIdsLeftOut) + " more key IDs");
    if (found.passphrase)
        lines.push_back("a passphrase");
    return lines;
}

SecuredPartReading readSignedMultipart(GMimeMultipart *multipart)
{
    SecuredPartReading reading;
    const std::string protocol = lowerParameter(GMIME_OBJECT(multipart), "protocol");
    if (protocol.find("pgp") != std::string::npos) {
        reading.signatureNote = "Signed (PGP); signature not checked";
        return reading;
    }
    for (int i = 0, count = g_mime_multipart_get_count(multipart); i < count; ++i) {
        GMimeObject *part = g_mime_multipart_get_part(multipart, i);
        if (isSmimeSignatureType(part) && GMIME_IS_PART(part)) {
            reading.signatureNote = smimeSignatureNote(readSmimeContent(partContent(GMIME_PART(part))).signers);
            break;
        }
    }
    return reading;
}

// RFC 1847: the control part first, then the encrypted data.
SecuredPartReading readEncryptedMultipart(GMimeMultipart *multipart)
{
    SecuredPartReading reading;
    const std::string protocol = lowerParameter(GMIME_OBJECT(multipart), "protocol");
    const bool isPgp = protocol.find("pgp") != std::string::npos;
    GMimeObject *data = g_mime_multipart_get_count(multipart) >= 2 ? g_mime_multipart_get_part(multipart, 1) : nullptr;
    const std::string bytes = data && GMIME_IS_PART(data) ? partContent(GMIME_PART(data)) : std::string();
    std::vector<std::string> recipients;
    if (isPgp)
        recipients = openPgpRecipientLines(readOpenPgpRecipients(bytes));
    reading.encryptedNotice = encryptedNotice(isPgp              ? "PGP/MIME"
                                              : protocol.empty() ? "unknown method"
                                                                 : protocol,
                                              recipients, data ? partName(data) : std::string(), bytes.size());
    return reading;
}

SecuredPartReading readSmimePart(GMimePart *part)
{
    SecuredPartReading reading;
    std::string bytes = partContent(part);
    SmimeContent content = readSmimeContent(bytes);
    switch (content.kind) {
    case SmimeContent::Kind::Signed:
        // A certificate bundle (smime-type=certs-only) is signed-data with no signer.
        if (!content.signedContent && content.signers.empty())
            break;
        reading.signatureNote = smimeSignatureNote(content.signers);
        reading.signedEntity = std::move(content.signedContent);
        break;
    case SmimeContent::Kind::Encrypted:
        reading.encryptedNotice =
            encryptedNotice("S/MIME", content.recipients, partName(GMIME_OBJECT(part)), bytes.size());
        break;
    case SmimeContent::Kind::NotCms:
        // An envelope OpenSSL cannot read is still encrypted, as its label says.
        if (lowerParameter(GMIME_OBJECT(part), "smime-type").find("enveloped-data") != std::string::npos)
            reading.encryptedNotice = encryptedNotice("S/MIME", {"(the envelope cannot be read)"},
                                                      partName(GMIME_OBJECT(part)), bytes.size());
        break;
    }
    return reading;
}

} // namespace

SecuredPartReading readSecuredPart(GMimeObject *object)
{
    if (!object)
        return {};
    if (GMIME_IS_MULTIPART(object) && isType(object, "multipart", "signed"))
        return readSignedMultipart(GMIME_MULTIPART(object));
    if (GMIME_IS_MULTIPART(object) && isType(object, "multipart", "encrypted"))
        return readEncryptedMultipart(GMIME_MULTIPART(object));
    if (GMIME_IS_PART(object) && isSmimeEnvelopeType(object))
        return readSmimePart(GMIME_PART(object));
    return {};
}

GMimeObject *constructEntity(std::string_view bytes, GMimeParserOptions *options)
{
    // Some signers sign bare text, with no header: RFC 2045 makes that text/plain. GMime
    // would take its first lines for headers, or give up.
    std::string withHeader;
    if (scanHeaderBlock(bytes.substr(0, kEntityHeaderScan), true).fields.empty()) {
        withHeader = "Content-Type: text/plain\n\n";
        withHeader += bytes;
        bytes = withHeader;
    }
    // GMime copies what it keeps, so the stream may borrow `bytes`.
    GObjectRef<GMimeStream> stream(g_mime_stream_mem_new_with_buffer(bytes.data(), bytes.size()));
    GObjectRef<GMimeParser> parser(g_mime_parser_new_with_stream(stream.object));
    return g_mime_parser_construct_part(parser.object, options);
}

bool holdsEncryptedParts(const MailMessage &message)
{
    if (message.hasEncryptedParts)
        return true;
    for (const MailMessage &inner : message.forwarded) {
        if (holdsEncryptedParts(inner))
            return true;
    }
    return false;
}

} // namespace tessaly
