// Building the message model from GMime's MIME tree.
#include "mailconverter/mime/MailMessage.h"

#include "mailconverter/mime/AddressList.h"
#include "mailconverter/mime/AlternativeContent.h"
#include "mailconverter/mime/BoundedHeaderBlock.h"
#include "mailconverter/mime/CalendarInvitation.h"
#include "mailconverter/mime/CharsetDecoding.h"
#include "mailconverter/mime/FlowedText.h"
#include "mailconverter/mime/GMimeHelpers.h"
#include "mailconverter/mime/GMimeSession.h"
#include "mailconverter/mime/HeaderBlockRewrite.h"
#include "mailconverter/mime/HeaderBlockScan.h"
#include "mailconverter/mime/HeaderDecoding.h"
#include "mailconverter/mime/RawPartBody.h"
#include "mailconverter/mime/SecuredPart.h"
#include "support/TextHelpers.h"
#include "support/Utf8.h"

#include <gmime/gmime.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <utility>

namespace tessaly {

namespace {

// Hostile mail nests multiparts thousands deep; nothing real goes near these.
constexpr int kMaxPartDepth = 40;
constexpr int kMaxForwardDepth = 8;
// How far into an HTML part to look for a <meta charset>.
constexpr std::size_t kCharsetSniffBytes = 2048;
// An envelope line longer than this is not one.
constexpr std::size_t kMaxEnvelopeLine = 4096;

void useEnvelopeDate(MailMessage &message, std::optional<MailDate> envelopeDate)
{
    message.date = envelopeDate;
    message.dateSource = MailMessage::DateSource::Envelope;
}

std::string validUtf8(const char *text)
{
    if (!text)
        return {};
    return decodeToUtf8(text, {});
}

// RFC 2045: a Content-Type that cannot be read means text/plain in us-ascii.
std::string mimeTypeOf(GMimeObject *object)
{
    if (GMIME_IS_PART(object)) {
        const std::string raw = rawHeader(object, "Content-Type");
        if (!raw.empty() && !isParseableMediaType(raw))
            return "text/plain";
    }
    GMimeContentType *type = g_mime_object_get_content_type(object);
    if (!type)
        return "application/octet-stream";
    const char *mediaType = g_mime_content_type_get_media_type(type);
    const char *subtype = g_mime_content_type_get_media_subtype(type);
    return asciiLowercase(std::string(mediaType ? mediaType : "application") + "/" +
                          (subtype ? subtype : "octet-stream"));
}

std::string contentTypeParameter(GMimeObject *object, const char *name)
{
    if (GMIME_IS_PART(object) && !isParseableMediaType(rawHeader(object, "Content-Type")) &&
        !rawHeader(object, "Content-Type").empty())
        return {};
    const char *value = g_mime_object_get_content_type_parameter(object, name);
    return value ? std::string(value) : std::string();
}

// Outlook writes Windows paths unescaped inside quotes; RFC quoting rules would eat the
// backslashes ("C:\x\y.exe" -> "C:xy.exe"), so such a name (and one with encoded words)
// is taken from the raw header.
std::optional<std::string> rawQuotedParameter(const std::string &rawValue, std::string_view name)
{
    const std::string lower = asciiLowercase(rawValue);
    std::size_t at = 0;
    while ((at = lower.find(name, at)) != std::string::npos) {
        const bool startsWord =
            at == 0 || lower[at - 1] == ';' || std::isspace(static_cast<unsigned char>(lower[at - 1]));
        std::size_t i = at + name.size();
        while (i < lower.size() && std::isspace(static_cast<unsigned char>(lower[i])))
            ++i;
        if (startsWord && i + 1 < lower.size() && lower[i] == '=' && lower[i + 1] == '"') {
            const std::size_t open = i + 2;
            const std::size_t close = rawValue.find('"', open);
            if (close == std::string::npos)
                return std::nullopt;
            return rawValue.substr(open, close - open);
        }
        at += name.size();
    }
    return std::nullopt;
}

std::string declaredNameOf(GMimeObject *object, std::string_view declaredCharset)
{
    for (const auto &[header, parameter] :
         {std::pair{"Content-Disposition", "filename"}, std::pair{"Content-Type", "name"}}) {
        const std::string raw = rawHeader(object, header);
        const bool raw8Bit = !isValidUtf8(raw);
        if (raw.find('\\') == std::string::npos && raw.find("=?") == std::string::npos && !raw8Bit)
            continue;
        // Our decoder also reads unpadded base64 words, which GMime cuts short, and raw 8-bit
        // names in the charset the message's text declares.
        const std::optional<std::string> value = rawQuotedParameter(unfoldHeader(raw), parameter);
        if (value && (value->find('\\') != std::string::npos || value->find("=?") != std::string::npos || raw8Bit))
            return decodeHeaderText(*value, declaredCharset);
    }
    const char *name = GMIME_IS_PART(object) ? g_mime_part_get_filename(GMIME_PART(object)) : nullptr;
    if (!name) {
        if (GMimeContentDisposition *disposition = g_mime_object_get_content_disposition(object))
            name = g_mime_content_disposition_get_parameter(disposition, "filename");
    }
    if (!name)
        name = g_mime_object_get_content_type_parameter(object, "name");
    return validUtf8(name);
}

bool hasDisposition(GMimeObject *object, const char *kind)
{
    const char *disposition = g_mime_object_get_disposition(object);
    return disposition && g_ascii_strcasecmp(disposition, kind) == 0;
}

bool isAttachmentDisposition(GMimeObject *object)
{
    return hasDisposition(object, "attachment");
}

// Parts that carry a whole message, which clients show as a forwarded message.
bool isMessageType(const std::string &type)
{
    return type == "message/rfc822" || type == "message/global" || type == "message/news";
}

// How far into an attached message its first header field is looked for.
constexpr std::size_t kMessageProbeBytes = 64 * 1024;

// Whether the bytes of an attached message start with a header block that has a field.
bool holdsHeaderFields(std::string_view bytes)
{
    return !scanHeaderBlock(bytes.substr(0, kMessageProbeBytes), true).fields.empty();
}

// Machine-readable reports and header dumps: plain text that clients show as such.
bool isReportType(const std::string &type)
{
    return type == "message/delivery-status" || type == "message/global-delivery-status" ||
           type == "message/feedback-report" || type == "message/disposition-notification" ||
           type == "message/global-disposition-notification" || type == "text/rfc822-headers" ||
           type == "message/global-headers";
}

// What both browser engines draw.
bool isShowableImage(const std::string &type)
{
    return type == "image/png" || type == "image/jpeg" || type == "image/jpg" || type == "image/pjpeg" ||
           type == "image/gif" || type == "image/bmp" || type == "image/webp";
}

// Whether a client can show this alternative: text it renders that is not blank, or a
// multipart holding some.
bool canDisplayAlternative(GMimeObject *object, int depth)
{
    if (!object || depth > kMaxPartDepth || isAttachmentDisposition(object))
        return false;
    if (GMIME_IS_MULTIPART(object)) {
        GMimeMultipart *multipart = GMIME_MULTIPART(object);
        const int count = g_mime_multipart_get_count(multipart);
        if (count == 0) {
            const char *prologue = g_mime_multipart_get_prologue(multipart);
            return prologue && std::string_view(prologue).find_first_not_of(" \t\r\n") != std::string_view::npos;
        }
        for (int i = 0; i < count; ++i) {
            if (canDisplayAlternative(g_mime_multipart_get_part(multipart, i), depth + 1))
                return true;
        }
        return false;
    }
    const std::string type = mimeTypeOf(object);
    if ((type == "text/plain" || type == "text/html") && GMIME_IS_PART(object))
        return hasDisplayableContent(
            decodeToUtf8(partContent(GMIME_PART(object)), contentTypeParameter(object, "charset")),
            type == "text/html");
    return type == "text/plain" || type == "text/html" || isMessageType(type) || isReportType(type);
}

// Thunderbird keeps a message it marked deleted (flag 0x0008 of X-Mozilla-Status, four hex
// digits) in its folder file until the folder is compacted. Deleted is not gone: it converts.
bool markedDeletedByThunderbird(std::string_view status)
{
    unsigned flags = 0;
    const auto [end, error] = std::from_chars(status.data(), status.data() + status.size(), flags, 16);
    return error == std::errc() && end != status.data() && (flags & 0x0008U) != 0;
}

std::string sniffHtmlCharset(std::string_view html)
{
    const std::string head = asciiLowercase(html.substr(0, kCharsetSniffBytes));
    const std::size_t at = head.find("charset=");
    if (at == std::string::npos)
        return {};
    std::size_t begin = at + 8;
    while (begin < head.size() && (head[begin] == '"' || head[begin] == '\''))
        ++begin;
    std::size_t end = begin;
    while (end < head.size() &&
           (std::isalnum(static_cast<unsigned char>(head[end])) || head[end] == '-' || head[end] == '_'))
        ++end;
    return head.substr(begin, end - begin);
}

// A multipart whose boundary is lost or wrong leaves its parts in the prologue. The first
// line that opens a part with headers names the boundary the sender really used; "" if none.
std::string boundaryInPrologue(std::string_view text)
{
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t end = std::min(text.find('\n', pos), text.size());
        std::string_view line = text.substr(pos, end - pos);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
            line.remove_suffix(1);
        const std::size_t nextEnd = std::min(text.find('\n', end + 1), text.size());
        const std::string_view next = end < text.size() ? text.substr(end + 1, nextEnd - end - 1) : std::string_view();
        const std::size_t colon = next.find(':');
        if (line.size() > 2 && line.starts_with("--") && line.find_first_of(" \t\"") == std::string_view::npos &&
            colon != std::string_view::npos && colon > 0 &&
            next.substr(0, colon).find_first_of(" \t") == std::string_view::npos)
            return std::string(line.substr(2));
        pos = end + 1;
    }
    return {};
}

// A part that may become an inline resource, decided once the bodies are known.
struct ResourceCandidate
{
    InlineResource resource;
    std::string declaredName;
    std::size_t attachmentIndex = 0; ///< where in the attachment order it would go
    bool shownWhereItStands = false; ///< an image with a body entry, dropped if the HTML uses it
};

// What the builders of one message and its forwarded messages share.
struct ParseContext
{
    GMimeParserOptions *options = nullptr;
    int nextImageNumber = 1; ///< for keys of shown images without a Content-ID, unique per page
};

GMimeMessage *constructMessage(std::string_view bytes, GMimeParserOptions *options, SetAsideHeaders &setAside,
                               GMimeStream **source);

class ModelBuilder
{
public:
    /// `setAside`: header fields of the message that GMime was given empty, with their raw values.
    /// `source`: the stream GMime parsed, for parts whose bytes GMime does not keep (may be
    /// null); `boundaries`: those of the multiparts around the message in it.
    ModelBuilder(ParseContext &context, int forwardDepth, SetAsideHeaders setAside, GMimeStream *source,
                 std::vector<std::string> boundaries = {})
        : m_context(context), m_forwardDepth(forwardDepth), m_setAside(std::move(setAside)), m_source(source),
          m_boundaries(std::move(boundaries))
    {
    }

    MailMessage build(GMimeMessage *message, std::optional<MailDate> envelopeDate);

private:
    void findDeclaredCharsets(GMimeObject *object, int depth);
    std::string messageHeader(GMimeMessage *message, const char *name) const;
    void readHeaders(GMimeMessage *message, std::optional<MailDate> envelopeDate);
    std::vector<MailAddress> addressesOf(GMimeMessage *message, const char *header) const;
    /// `namedTextIsBody`: whether a text part with a file name may be a body; false for
    /// the later parts of a multipart/mixed, where named text parts are attached files.
    void walk(GMimeObject *object, int depth, bool namedTextIsBody = true);
    void walkMultipart(GMimeMultipart *multipart, int depth);
    void walkAlternative(GMimeMultipart *multipart, int depth);
    void walkRelated(GMimeMultipart *multipart, int depth);
    void walkLeaf(GMimePart *part, bool namedTextIsBody);
    void walkMessagePart(GMimeMessagePart *part);
    void walkEncodedMessage(GMimePart *part, std::string name);
    void addForwarded(GMimeMessage *inner, SetAsideHeaders setAside, GMimeStream *source,
                      std::vector<std::string> boundaries);
    void addTextBody(GMimePart *part, const std::string &mimeType);
    void addCalendar(GMimePart *part, std::string name);
    std::string contentOf(GMimePart *part);
    void addImage(InlineResource resource);
    void addAttachment(std::string name, std::string mimeType, std::string bytes, bool forwarded = false);
    void settleResources();

    MailMessage m_message;
    std::vector<ResourceCandidate> m_candidates;
    ParseContext &m_context;
    int m_forwardDepth = 0;
    SetAsideHeaders m_setAside;
    GMimeStream *m_source = nullptr;       ///< not owned
    std::vector<std::string> m_boundaries; ///< of the multiparts around the part walked, inner first
    std::string m_textCharset;             ///< the first charset a text part declares
    std::string m_cjkCharset;              ///< the first CJK charset the message declares anywhere
};

std::string trimmed(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return std::string(text.substr(first, text.find_last_not_of(" \t") - first + 1));
}

std::vector<MailAddress> ModelBuilder::addressesOf(GMimeMessage *message, const char *header) const
{
    return parseAddressList(messageHeader(message, header), m_textCharset, m_context.options);
}

std::string ModelBuilder::messageHeader(GMimeMessage *message, const char *name) const
{
    for (const auto &[fieldName, value] : m_setAside) {
        if (g_ascii_strcasecmp(fieldName.c_str(), name) == 0)
            return trimmed(unfoldHeader(value));
    }
    return rawHeader(GMIME_OBJECT(message), name);
}

// The charsets the message's parts declare: the first text part's, for raw 8-bit headers,
// and the first CJK one, for bodies labelled as ASCII that are not.
void ModelBuilder::findDeclaredCharsets(GMimeObject *object, int depth)
{
    if (!object || depth > kMaxPartDepth || (!m_textCharset.empty() && !m_cjkCharset.empty()))
        return;
    if (GMIME_IS_MULTIPART(object)) {
        GMimeMultipart *multipart = GMIME_MULTIPART(object);
        for (int i = 0, count = g_mime_multipart_get_count(multipart); i < count; ++i)
            findDeclaredCharsets(g_mime_multipart_get_part(multipart, i), depth + 1);
        return;
    }
    if (!GMIME_IS_PART(object) || mimeTypeOf(object).rfind("text/", 0) != 0)
        return;
    const std::string charset = contentTypeParameter(object, "charset");
    if (m_textCharset.empty())
        m_textCharset = charset;
    if (m_cjkCharset.empty() && isCjkCharset(charset))
        m_cjkCharset = charset;
}

void ModelBuilder::readHeaders(GMimeMessage *message, std::optional<MailDate> envelopeDate)
{
    GMimeObject *object = GMIME_OBJECT(message);
    findDeclaredCharsets(g_mime_message_get_mime_part(message), 0);
    const std::string subject = messageHeader(message, "Subject");
    if (m_cjkCharset.empty())
        m_cjkCharset = firstCjkEncodedWordCharset(subject);
    // Our own decoder, not GMime's: it handles unknown charsets and unpadded base64.
    m_message.subject = decodeHeaderText(subject, m_textCharset);
    if (m_message.subject.find("\xEF\xBF\xBD") != std::string::npos &&
        subject.find("\xEF\xBF\xBD") == std::string::npos)
        m_message.warnings.push_back("the subject has places that do not decode in its charset, shown as U+FFFD");
    m_message.from = addressesOf(message, "From");
    m_message.to = addressesOf(message, "To");
    m_message.cc = addressesOf(message, "Cc");
    m_message.bcc = addressesOf(message, "Bcc");
    m_message.replyTo = addressesOf(message, "Reply-To");
    if (const std::string id = messageHeader(message, "Message-ID"); !id.empty()) {
        if (char *decoded = g_mime_utils_decode_message_id(id.c_str())) {
            m_message.messageId = decoded;
            g_free(decoded);
        }
    }

    if (markedDeletedByThunderbird(messageHeader(message, "X-Mozilla-Status")))
        m_message.warnings.push_back("deleted in the mail client");

    m_message.date = parseHeaderDate(messageHeader(message, "Date"));
    if (!m_message.date)
        useEnvelopeDate(m_message, envelopeDate);
    if (!m_message.date) {
        // Received headers are prepended on the way, so the first one is the newest.
        GMimeHeaderList *headers = g_mime_object_get_header_list(object);
        const int count = headers ? g_mime_header_list_get_count(headers) : 0;
        for (int i = 0; i < count && !m_message.date; ++i) {
            GMimeHeader *header = g_mime_header_list_get_header_at(headers, i);
            const char *name = g_mime_header_get_name(header);
            const char *raw = g_mime_header_get_raw_value(header);
            if (name && raw && g_ascii_strcasecmp(name, "Received") == 0)
                m_message.date = parseReceivedDate(raw);
        }
        if (m_message.date)
            m_message.dateSource = MailMessage::DateSource::Received;
    }
}

void ModelBuilder::walk(GMimeObject *object, int depth, bool namedTextIsBody)
{
    if (!object)
        return;
    if (depth > kMaxPartDepth) {
        addAttachment(declaredNameOf(object, m_textCharset), mimeTypeOf(object), objectBytes(object));
        return;
    }
    // Signed and encrypted parts add a line to the header block or a notice in the body's
    // place, and opaque signed content is read here; the parts themselves are read on below.
    const SecuredPartReading secured = readSecuredPart(object);
    if (m_message.signatureNote.empty())
        m_message.signatureNote = secured.signatureNote;
    if (!secured.encryptedNotice.empty()) {
        m_message.bodies.push_back(BodyPart{BodyPart::Kind::PlainText, secured.encryptedNotice, {}});
        m_message.hasEncryptedParts = true;
    }
    if (secured.signedEntity) {
        GObjectRef<GMimeObject> content(constructEntity(*secured.signedEntity, m_context.options));
        walk(content.object, depth + 1);
    }
    if (GMIME_IS_MULTIPART(object))
        walkMultipart(GMIME_MULTIPART(object), depth);
    else if (GMIME_IS_MESSAGE_PART(object))
        walkMessagePart(GMIME_MESSAGE_PART(object));
    else if (GMIME_IS_PART(object))
        walkLeaf(GMIME_PART(object), namedTextIsBody);
}

// Keeps a multipart's boundary on the list while its parts are walked.
class BoundaryScope
{
public:
    BoundaryScope(std::vector<std::string> &boundaries, const char *boundary) : m_boundaries(boundaries)
    {
        m_boundaries.insert(m_boundaries.begin(), boundary ? boundary : "");
    }
    ~BoundaryScope() { m_boundaries.erase(m_boundaries.begin()); }
    BoundaryScope(const BoundaryScope &) = delete;
    BoundaryScope &operator=(const BoundaryScope &) = delete;

private:
    std::vector<std::string> &m_boundaries;
};

void ModelBuilder::walkMultipart(GMimeMultipart *multipart, int depth)
{
    GMimeObject *object = GMIME_OBJECT(multipart);
    const BoundaryScope scope(m_boundaries, g_mime_multipart_get_boundary(multipart));
    const int count = g_mime_multipart_get_count(multipart);
    if (count == 0) {
        // A lost or wrong boundary leaves everything in the prologue: read its parts with the
        // boundary they use, else show it as text.
        const char *prologue = g_mime_multipart_get_prologue(multipart);
        const std::string boundary = prologue ? boundaryInPrologue(prologue) : std::string();
        if (!boundary.empty()) {
            const std::string bytes =
                "Content-Type: " + mimeTypeOf(object) + "; boundary=\"" + boundary + "\"\n\n" + prologue;
            GObjectRef<GMimeStream> stream(g_mime_stream_mem_new_with_buffer(bytes.data(), bytes.size()));
            GObjectRef<GMimeParser> parser(g_mime_parser_new_with_stream(stream.object));
            GObjectRef<GMimeObject> recovered(g_mime_parser_construct_part(parser.object, m_context.options));
            if (recovered.object && GMIME_IS_MULTIPART(recovered.object) &&
                g_mime_multipart_get_count(GMIME_MULTIPART(recovered.object)) > 0) {
                // Its parts lie in a copy of the prologue, not in the stream parsed.
                GMimeStream *source = std::exchange(m_source, nullptr);
                walk(recovered.object, depth + 1);
                m_source = source;
                return;
            }
        }
        if (prologue && *prologue) {
            const std::string charset = contentTypeParameter(object, "charset");
            const std::string text = normaliseLineEnds(decodeToUtf8(prologue, charset));
            if (text.find_first_not_of(" \t\n") != std::string::npos)
                m_message.bodies.push_back(BodyPart{BodyPart::Kind::PlainText, text, charset});
        }
        return;
    }
    const std::string type = mimeTypeOf(object);
    if (type == "multipart/alternative") {
        walkAlternative(multipart, depth);
        return;
    }
    if (type == "multipart/related") {
        walkRelated(multipart, depth);
        return;
    }
    for (int i = 0; i < count; ++i)
        walk(g_mime_multipart_get_part(multipart, i), depth + 1, i == 0);
}

// RFC 2046: alternatives come in increasing faithfulness, so the last one we can show wins;
// when we can show none, the last one is kept as what it is.
void ModelBuilder::walkAlternative(GMimeMultipart *multipart, int depth)
{
    const int count = g_mime_multipart_get_count(multipart);
    int chosen = count - 1;
    for (int i = count - 1; i >= 0; --i) {
        if (canDisplayAlternative(g_mime_multipart_get_part(multipart, i), depth + 1)) {
            chosen = i;
            break;
        }
    }
    walk(g_mime_multipart_get_part(multipart, chosen), depth + 1);
    // A calendar alternative holds what its text alternative leaves out: it is shown as well.
    for (int i = 0; i < count; ++i) {
        GMimeObject *part = g_mime_multipart_get_part(multipart, i);
        if (i != chosen && GMIME_IS_PART(part) && mimeTypeOf(part) == "text/calendar")
            walk(part, depth + 1);
    }
}

void ModelBuilder::walkRelated(GMimeMultipart *multipart, int depth)
{
    const int count = g_mime_multipart_get_count(multipart);
    int root = 0;
    // RFC 2387: the "start" parameter names the root by Content-ID.
    const std::string start = contentTypeParameter(GMIME_OBJECT(multipart), "start");
    if (!start.empty()) {
        std::string id = start;
        if (id.size() >= 2 && id.front() == '<' && id.back() == '>')
            id = id.substr(1, id.size() - 2);
        for (int i = 0; i < count; ++i) {
            const char *childId = g_mime_object_get_content_id(g_mime_multipart_get_part(multipart, i));
            if (childId && id == childId)
                root = i;
        }
    }
    walk(g_mime_multipart_get_part(multipart, root), depth + 1);
    for (int i = 0; i < count; ++i) {
        if (i != root)
            walk(g_mime_multipart_get_part(multipart, i), depth + 1);
    }
}

void ModelBuilder::walkLeaf(GMimePart *part, bool namedTextIsBody)
{
    GMimeObject *object = GMIME_OBJECT(part);
    const std::string type = mimeTypeOf(object);
    std::string name = declaredNameOf(object, m_textCharset);
    if (isMessageType(type)) {
        walkEncodedMessage(part, std::move(name));
        return;
    }
    if (type == "text/calendar") {
        addCalendar(part, std::move(name));
        return;
    }
    const bool isAttachment = isAttachmentDisposition(object);
    if (!isAttachment && isReportType(type)) {
        addTextBody(part, "text/plain");
        return;
    }
    const bool isText = type == "text/plain" || type == "text/html";
    // A named text part without a disposition after the first part of a mixed is an attached
    // file; one marked inline is shown as well, as clients do.
    if (isText && !isAttachment && (name.empty() || namedTextIsBody)) {
        addTextBody(part, type);
        return;
    }
    if (!isAttachment && hasDisposition(object, "inline") && type.rfind("text/", 0) == 0) {
        addTextBody(part, type == "text/html" ? type : "text/plain");
        if (name.empty())
            return;
    }
    std::string bytes = contentOf(part);
    const bool showImage = !isAttachment && isShowableImage(type);
    const char *contentId = g_mime_object_get_content_id(object);
    const char *location = g_mime_object_get_header(object, "Content-Location");
    if ((contentId && *contentId) || (location && *location)) {
        ResourceCandidate candidate;
        candidate.resource.contentId = validUtf8(contentId);
        candidate.resource.contentLocation = location ? unfoldHeader(location) : std::string();
        candidate.resource.mimeType = type;
        candidate.resource.bytes = std::move(bytes);
        candidate.declaredName = std::move(name);
        candidate.attachmentIndex = m_message.attachments.size();
        candidate.shownWhereItStands = showImage;
        if (showImage)
            m_message.bodies.push_back(BodyPart{BodyPart::Kind::Image, resourceKey(candidate.resource), {}});
        m_candidates.push_back(std::move(candidate));
        return;
    }
    if (showImage) {
        InlineResource resource;
        resource.contentId = "tessaly-image-" + std::to_string(m_context.nextImageNumber++);
        resource.mimeType = type;
        resource.bytes = bytes;
        addImage(std::move(resource));
    }
    addAttachment(std::move(name), type, std::move(bytes));
}

// Drawn where its part stands; it stays an attachment as well.
void ModelBuilder::addImage(InlineResource resource)
{
    m_message.bodies.push_back(BodyPart{BodyPart::Kind::Image, resourceKey(resource), {}});
    m_message.inlineResources.push_back(std::move(resource));
}

void ModelBuilder::addTextBody(GMimePart *part, const std::string &mimeType)
{
    GMimeObject *object = GMIME_OBJECT(part);
    const std::string raw = contentOf(part);
    std::string charset = contentTypeParameter(object, "charset");
    const bool isHtml = mimeType == "text/html";
    if (charset.empty() && isHtml)
        charset = sniffHtmlCharset(raw);
    DecodedBody decoded = decodeBodyText(raw, charset, m_cjkCharset);
    if (!decoded.readAs.empty()) {
        m_message.warnings.push_back("a body labelled '" + (charset.empty() ? std::string("us-ascii") : charset) +
                                     "' was read as " + decoded.readAs + ", in which it decodes without errors");
        charset = decoded.readAs; // what the text really is, for the choice of its face
    }
    if (decoded.badPlaces > 0)
        m_message.warnings.push_back("a body labelled '" + (charset.empty() ? std::string("us-ascii") : charset) +
                                     "' has " + std::to_string(decoded.badPlaces) +
                                     (decoded.badPlaces == 1 ? " place that does" : " places that do") +
                                     " not decode in it, shown as U+FFFD");
    std::string text = normaliseLineEnds(decoded.text);
    if (!isHtml && g_ascii_strcasecmp(contentTypeParameter(object, "format").c_str(), "flowed") == 0) {
        const bool delSp = g_ascii_strcasecmp(contentTypeParameter(object, "delsp").c_str(), "yes") == 0;
        text = reflowFlowedText(text, delSp);
    }
    // An empty text part is no body: the message then shows just its headers.
    if (text.find_first_not_of(" \t\n") == std::string::npos)
        return;
    m_message.bodies.push_back(
        BodyPart{isHtml ? BodyPart::Kind::Html : BodyPart::Kind::PlainText, std::move(text), charset});
}

// Shown where it stands, as an invitation or as its text, and always kept as a file.
void ModelBuilder::addCalendar(GMimePart *part, std::string name)
{
    std::string bytes = contentOf(part);
    if (std::optional<BodyPart> body = calendarBodyPart(bytes, contentTypeParameter(GMIME_OBJECT(part), "charset")))
        m_message.bodies.push_back(std::move(*body));
    addAttachment(name.empty() ? std::string(kCalendarFileName) : std::move(name), "text/calendar", std::move(bytes));
}

// A part that decodes to less than its Content-Disposition "size" (RFC 2183) lost bytes on
// the way, or was encoded wrongly: the decoded bytes are all there is, and the warnings say so.
std::string ModelBuilder::contentOf(GMimePart *part)
{
    std::string bytes = partContent(part);
    GMimeObject *object = GMIME_OBJECT(part);
    GMimeContentDisposition *disposition = g_mime_object_get_content_disposition(object);
    const char *size = disposition ? g_mime_content_disposition_get_parameter(disposition, "size") : nullptr;
    if (!size)
        return bytes;
    const std::string_view digits(size);
    std::uint64_t declared = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), declared);
    // A size that is not a plain number says nothing.
    if (error != std::errc() || end != digits.data() + digits.size() || bytes.size() >= declared)
        return bytes;
    const std::string name = declaredNameOf(object, m_textCharset);
    m_message.warnings.push_back("the part " + (name.empty() ? mimeTypeOf(object) : "'" + name + "'") + " decodes to " +
                                 std::to_string(bytes.size()) + " of the " + std::to_string(declared) +
                                 " bytes its headers declare");
    return bytes;
}

// A message/rfc822 part holding no header field is no message: its bytes are kept as they
// came, under its own name, rather than as the empty message GMime makes of them.
void ModelBuilder::walkMessagePart(GMimeMessagePart *part)
{
    GMimeObject *object = GMIME_OBJECT(part);
    std::string name = declaredNameOf(object, m_textCharset);
    GMimeMessage *inner = g_mime_message_part_get_message(part);
    std::optional<std::string> raw = rawPartBody(m_source, object, m_boundaries);
    const bool isMessage =
        raw ? holdsHeaderFields(*raw)
            : inner && g_mime_header_list_get_count(g_mime_object_get_header_list(GMIME_OBJECT(inner))) > 0;
    std::string bytes = raw ? std::move(*raw) : inner ? objectBytes(GMIME_OBJECT(inner)) : std::string();
    if (!inner || !isMessage) {
        addAttachment(std::move(name), mimeTypeOf(object), std::move(bytes));
        return;
    }
    addForwarded(inner, {}, m_source, m_boundaries);
    addAttachment(std::move(name), "message/rfc822", std::move(bytes), true);
}

// A message/rfc822 part in base64 or quoted-printable reaches us as a plain part; its decoded
// content is the message.
void ModelBuilder::walkEncodedMessage(GMimePart *part, std::string name)
{
    std::string bytes = contentOf(part);
    if (!holdsHeaderFields(bytes)) {
        addAttachment(std::move(name), "message/rfc822", std::move(bytes));
        return;
    }
    SetAsideHeaders setAside;
    GMimeStream *source = nullptr;
    GObjectRef<GMimeMessage> inner(
        m_forwardDepth < kMaxForwardDepth ? constructMessage(bytes, m_context.options, setAside, &source) : nullptr);
    GObjectRef<GMimeStream> sourceRef(source);
    if (inner.object)
        addForwarded(inner.object, std::move(setAside), source, {});
    addAttachment(std::move(name), "message/rfc822", std::move(bytes), true);
}

void ModelBuilder::addForwarded(GMimeMessage *inner, SetAsideHeaders setAside, GMimeStream *source,
                                std::vector<std::string> boundaries)
{
    if (m_forwardDepth >= kMaxForwardDepth)
        return;
    m_message.forwarded.push_back(
        ModelBuilder(m_context, m_forwardDepth + 1, std::move(setAside), source, std::move(boundaries))
            .build(inner, std::nullopt));
    for (const std::string &warning : m_message.forwarded.back().warnings)
        m_message.warnings.push_back("in a forwarded message, " + warning);
}

void ModelBuilder::addAttachment(std::string name, std::string mimeType, std::string bytes, bool forwarded)
{
    AttachmentPart attachment;
    attachment.declaredName = std::move(name);
    attachment.mimeType = std::move(mimeType);
    attachment.bytes = std::move(bytes);
    attachment.isForwardedMessage = forwarded;
    m_message.attachments.push_back(std::move(attachment));
}

// Every "cid:" target in the HTML bodies, lower case and percent-decoded, found in one pass.
std::set<std::string> referencedContentIds(const std::vector<std::string> &lowerHtml)
{
    std::set<std::string> ids;
    for (const std::string &html : lowerHtml) {
        for (std::size_t at = html.find("cid:"); at != std::string::npos; at = html.find("cid:", at + 4)) {
            const std::size_t begin = at + 4;
            const std::size_t end = html.find_first_of("\"'()<> \t\n\\", begin);
            ids.insert(
                percentDecode(std::string_view(html).substr(begin, end == std::string::npos ? end : end - begin)));
        }
    }
    return ids;
}

bool htmlReferences(const std::vector<std::string> &lowerHtml, const std::set<std::string> &contentIds,
                    const InlineResource &resource)
{
    if (!resource.contentId.empty() && contentIds.count(asciiLowercase(resource.contentId)))
        return true;
    const std::string location = asciiLowercase(resource.contentLocation);
    if (location.empty())
        return false;
    for (const std::string &html : lowerHtml) {
        if (html.find(location) != std::string::npos)
            return true;
    }
    return false;
}

// A part with a Content-ID is inline only when an HTML body uses it; otherwise the reader
// would never see it, so it is listed as an attachment in its place in the part order.
void ModelBuilder::settleResources()
{
    if (m_candidates.empty())
        return;
    std::vector<std::string> lowerHtml;
    for (const BodyPart &body : m_message.bodies) {
        if (body.kind == BodyPart::Kind::Html)
            lowerHtml.push_back(asciiLowercase(body.text));
    }
    const std::set<std::string> contentIds = referencedContentIds(lowerHtml);
    std::size_t inserted = 0;
    for (ResourceCandidate &candidate : m_candidates) {
        if (htmlReferences(lowerHtml, contentIds, candidate.resource)) {
            if (candidate.shownWhereItStands) {
                // The HTML draws it; it needs no place of its own.
                const std::string key = resourceKey(candidate.resource);
                const auto shown =
                    std::find_if(m_message.bodies.begin(), m_message.bodies.end(), [&](const BodyPart &body) {
                        return body.kind == BodyPart::Kind::Image && body.text == key;
                    });
                if (shown != m_message.bodies.end())
                    m_message.bodies.erase(shown);
            }
            m_message.inlineResources.push_back(std::move(candidate.resource));
            continue;
        }
        AttachmentPart attachment;
        attachment.declaredName = std::move(candidate.declaredName);
        attachment.mimeType = candidate.resource.mimeType;
        attachment.bytes =
            candidate.shownWhereItStands ? candidate.resource.bytes : std::move(candidate.resource.bytes);
        if (candidate.shownWhereItStands)
            m_message.inlineResources.push_back(std::move(candidate.resource));
        const std::size_t at = std::min(candidate.attachmentIndex + inserted, m_message.attachments.size());
        m_message.attachments.insert(m_message.attachments.begin() + static_cast<std::ptrdiff_t>(at),
                                     std::move(attachment));
        ++inserted;
    }
}

MailMessage ModelBuilder::build(GMimeMessage *message, std::optional<MailDate> envelopeDate)
{
    readHeaders(message, envelopeDate);
    walk(g_mime_message_get_mime_part(message), 0);
    settleResources();
    return std::move(m_message);
}

std::size_t byteOrderMarkLength(std::string_view bytes)
{
    return bytes.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
}

GMimeMessage *constructFromStream(GMimeStream *stream, GMimeParserOptions *options)
{
    GObjectRef<GMimeParser> parser(g_mime_parser_new_with_stream(stream));
    g_mime_parser_set_format(parser.object, GMIME_FORMAT_MESSAGE);
    return g_mime_parser_construct_message(parser.object, options);
}

// `bytes` without a byte order mark and with a broken header block repaired: a view of
// `bytes`, or of `storage` when the block had to be rewritten.
std::string_view withRepairedHeaderBlock(std::string_view bytes, std::string &storage, SetAsideHeaders &setAside)
{
    bytes.remove_prefix(byteOrderMarkLength(bytes));
    std::optional<HeaderBlockRewrite> rewrite = rewriteHeaderBlock(bytes);
    if (!rewrite)
        return bytes;
    setAside = std::move(rewrite->setAside);
    storage = std::move(rewrite->front);
    storage.append(bytes.substr(rewrite->replaced));
    return storage;
}

// A message from memory, with a broken header block repaired first.
// `source`, when given, receives a reference to the stream parsed.
GMimeMessage *constructMessage(std::string_view bytes, GMimeParserOptions *options, SetAsideHeaders &setAside,
                               GMimeStream **source)
{
    std::string repaired;
    const std::string_view shown = withRepairedHeaderBlock(bytes, repaired, setAside);
    // GMime copies what it keeps, so the stream may borrow `shown`.
    GObjectRef<GMimeStream> stream(g_mime_stream_mem_new_with_buffer(shown.data(), shown.size()));
    if (source)
        *source = GMIME_STREAM(g_object_ref(stream.object));
    return constructFromStream(stream.object, options);
}

// Parses the message in `stream` (which starts after any envelope line). `rawText` is the
// text to show when GMime finds no message at all.
MailMessage parseStream(GMimeStream *stream, std::optional<MailDate> envelopeDate,
                        const std::function<std::string()> &rawText, SetAsideHeaders setAside)
{
    ParserOptionsPtr options = makeParserOptions();
    GObjectRef<GMimeMessage> message(constructFromStream(stream, options.get()));
    if (!message.object) {
        // Not a message GMime can read: show the text as it is rather than nothing.
        MailMessage fallback;
        useEnvelopeDate(fallback, envelopeDate);
        const std::string text = normaliseLineEnds(decodeToUtf8(rawText(), {}));
        if (text.find_first_not_of(" \t\n") != std::string::npos)
            fallback.bodies.push_back(BodyPart{BodyPart::Kind::PlainText, text, {}});
        return fallback;
    }
    ParseContext context{options.get()};
    return ModelBuilder(context, 0, std::move(setAside), stream).build(message.object, envelopeDate);
}

bool isBlankText(std::string_view bytes)
{
    return bytes.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

} // namespace

Result<MailMessage> parseMailMessage(std::string_view bytes)
{
    bytes.remove_prefix(byteOrderMarkLength(bytes));
    std::optional<MailDate> envelopeDate;
    if (bytes.substr(0, 5) == "From ") {
        const std::size_t lineEnd = bytes.find('\n');
        envelopeDate = parseEnvelopeDate(bytes.substr(0, lineEnd));
        bytes.remove_prefix(lineEnd == std::string_view::npos ? bytes.size() : lineEnd + 1);
    }
    if (isBlankText(bytes)) {
        MailMessage empty;
        useEnvelopeDate(empty, envelopeDate);
        return empty;
    }
    ensureGMimeInitialised();
    std::string repaired;
    SetAsideHeaders setAside;
    const std::string_view shown = withRepairedHeaderBlock(bytes, repaired, setAside);
    GObjectRef<GMimeStream> stream(g_mime_stream_mem_new_with_buffer(shown.data(), shown.size()));
    return parseStream(
        stream.object, envelopeDate, [bytes] { return std::string(bytes); }, std::move(setAside));
}

namespace {

// Parsed straight from the file: GMime then keeps part contents on disk, not in memory,
// so a 100 MB message costs its decoded parts only. Takes `file`, open at its start, over.
Result<MailMessage> parseOpenMessageFile(FILE *file, const std::string &path)
{
    std::string firstLine;
    for (int c = std::fgetc(file); c != EOF && c != '\n' && firstLine.size() < kMaxEnvelopeLine; c = std::fgetc(file))
        firstLine += static_cast<char>(c);
    if (std::ferror(file)) {
        const int error = errno;
        std::fclose(file);
        return Error{"cannot read message file '" + path + "': " + std::strerror(error), FailureKind::Unreadable};
    }
    std::optional<MailDate> envelopeDate;
    long start = 0;
    const std::size_t leadingMark = byteOrderMarkLength(firstLine);
    if (firstLine.compare(leadingMark, 5, "From ") == 0) {
        envelopeDate = parseEnvelopeDate(std::string_view(firstLine).substr(leadingMark));
        start = std::ftell(file);
    }
    std::fseek(file, start, SEEK_SET);
    const BoundedHeaderBlock head = readBoundedHeaderBlock(file);
    if (std::ferror(file)) {
        const int error = errno;
        std::fclose(file);
        return Error{"cannot read message file '" + path + "': " + std::strerror(error), FailureKind::Unreadable};
    }
    std::fseek(file, 0, SEEK_END);
    const long size = std::ftell(file);
    if (size <= start || (isBlankText(head.text) && head.rawOffset(head.text.size()) == std::uint64_t(size - start))) {
        std::fclose(file);
        MailMessage empty;
        useEnvelopeDate(empty, envelopeDate);
        return empty;
    }
    ensureGMimeInitialised();
    const std::size_t mark = byteOrderMarkLength(head.text);
    HeaderBlockCuts cuts;
    std::optional<HeaderBlockRewrite> rewrite = rewriteBoundedHeaderBlock(head, mark, cuts);
    const long restOffset = start + static_cast<long>(mark + (rewrite ? rewrite->replaced : 0));
    // The stream owns `file` from here on and closes it.
    GObjectRef<GMimeStream> fileStream(g_mime_stream_file_new_with_bounds(file, restOffset, -1));
    GObjectRef<GMimeStream> joined(rewrite ? g_mime_stream_cat_new() : nullptr);
    SetAsideHeaders setAside;
    if (rewrite) {
        setAside = std::move(rewrite->setAside);
        GObjectRef<GMimeStream> front(g_mime_stream_mem_new_with_buffer(rewrite->front.data(), rewrite->front.size()));
        g_mime_stream_cat_add_source(GMIME_STREAM_CAT(joined.object), front.object);
        g_mime_stream_cat_add_source(GMIME_STREAM_CAT(joined.object), fileStream.object);
    }
    GMimeStream *source = rewrite ? joined.object : fileStream.object;
    MailMessage message = parseStream(
        source, envelopeDate,
        [source] {
            GObjectRef<GMimeStream> copy(g_mime_stream_mem_new());
            g_mime_stream_reset(source);
            g_mime_stream_write_to_stream(source, copy.object);
            return streamBytes(copy.object);
        },
        std::move(setAside));
    message.cutHeaderFields = std::move(cuts.fields);
    message.headerBlockOffset = static_cast<std::uint64_t>(start);
    message.headerBlockBytes = cuts.blockBytes;
    return message;
}

} // namespace

Result<MailMessage> parseMailMessageFile(const std::string &path)
{
    FILE *file = std::fopen(path.c_str(), "rb");
    if (!file)
        return Error{"cannot open message file '" + path + "': " + std::strerror(errno), FailureKind::Unreadable};
    return parseOpenMessageFile(file, path);
}

Result<MailMessage> parseMailMessageFile(const OpenFile &file)
{
    FILE *stream = file.streamFromStart();
    if (!stream)
        return Error{"cannot read message file '" + file.name() + "': " + std::strerror(errno),
                     FailureKind::Unreadable};
    return parseOpenMessageFile(stream, file.name());
}

} // namespace tessaly
