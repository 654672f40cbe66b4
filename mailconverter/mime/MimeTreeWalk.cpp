#include "mailconverter/mime/MimeTreeWalk.h"

#include "mailconverter/mime/CalendarInvitation.h"
#include "mailconverter/mime/CharsetDecoding.h"
#include "mailconverter/mime/FlowedText.h"
#include "mailconverter/mime/GMimeHelpers.h"
#include "mailconverter/mime/HeaderDecoding.h"
#include "mailconverter/mime/MessageConstruction.h"
#include "mailconverter/mime/PartFacts.h"
#include "mailconverter/mime/RawPartBody.h"
#include "mailconverter/mime/SecuredPart.h"
#include "support/TextHelpers.h"
#include "support/Utf8.h"

#include <charconv>
#include <cstdint>
#include <optional>
#include <utility>

namespace tessaly {

namespace {

// Forwarded messages inside forwarded messages: nothing real goes this deep.
constexpr int kMaxForwardDepth = 8;

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

} // namespace

void MimeTreeWalk::walk(GMimeObject *object, int depth, bool namedTextIsBody)
{
    if (!object)
        return;
    if (depth > kMaxPartDepth) {
        addAttachment(declaredNameOf(object, m_charsets.text), mimeTypeOf(object), objectBytes(object));
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

void MimeTreeWalk::walkMultipart(GMimeMultipart *multipart, int depth)
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
void MimeTreeWalk::walkAlternative(GMimeMultipart *multipart, int depth)
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

void MimeTreeWalk::walkRelated(GMimeMultipart *multipart, int depth)
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

void MimeTreeWalk::walkLeaf(GMimePart *part, bool namedTextIsBody)
{
    GMimeObject *object = GMIME_OBJECT(part);
    const std::string type = mimeTypeOf(object);
    std::string name = declaredNameOf(object, m_charsets.text);
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
void MimeTreeWalk::addImage(InlineResource resource)
{
    m_message.bodies.push_back(BodyPart{BodyPart::Kind::Image, resourceKey(resource), {}});
    m_message.inlineResources.push_back(std::move(resource));
}

void MimeTreeWalk::addTextBody(GMimePart *part, const std::string &mimeType)
{
    GMimeObject *object = GMIME_OBJECT(part);
    const std::string raw = contentOf(part);
    std::string charset = contentTypeParameter(object, "charset");
    const bool isHtml = mimeType == "text/html";
    if (charset.empty() && isHtml)
        charset = sniffHtmlCharset(raw);
    DecodedBody decoded = decodeBodyText(raw, charset, m_charsets.cjk);
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
void MimeTreeWalk::addCalendar(GMimePart *part, std::string name)
{
    std::string bytes = contentOf(part);
    if (std::optional<BodyPart> body = calendarBodyPart(bytes, contentTypeParameter(GMIME_OBJECT(part), "charset")))
        m_message.bodies.push_back(std::move(*body));
    addAttachment(name.empty() ? std::string(kCalendarFileName) : std::move(name), "text/calendar", std::move(bytes));
}

// A part that decodes to less than its Content-Disposition "size" (RFC 2183) lost bytes on
// the way, or was encoded wrongly: the decoded bytes are all there is, and the warnings say so.
std::string MimeTreeWalk::contentOf(GMimePart *part)
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
    const std::string name = declaredNameOf(object, m_charsets.text);
    m_message.warnings.push_back("the part " + (name.empty() ? mimeTypeOf(object) : "'" + name + "'") + " decodes to " +
                                 std::to_string(bytes.size()) + " of the " + std::to_string(declared) +
                                 " bytes its headers declare");
    return bytes;
}

// A message/rfc822 part holding no header field is no message: its bytes are kept as they
// came, under its own name, rather than as the empty message GMime makes of them.
void MimeTreeWalk::walkMessagePart(GMimeMessagePart *part)
{
    GMimeObject *object = GMIME_OBJECT(part);
    std::string name = declaredNameOf(object, m_charsets.text);
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
    addForwarded(inner, MessageOrigin{{}, m_source, m_boundaries});
    addAttachment(std::move(name), "message/rfc822", std::move(bytes), true);
}

// A message/rfc822 part in base64 or quoted-printable reaches us as a plain part; its decoded
// content is the message.
void MimeTreeWalk::walkEncodedMessage(GMimePart *part, std::string name)
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
        addForwarded(inner.object, MessageOrigin{std::move(setAside), source, {}});
    addAttachment(std::move(name), "message/rfc822", std::move(bytes), true);
}

void MimeTreeWalk::addForwarded(GMimeMessage *inner, MessageOrigin origin)
{
    if (m_forwardDepth >= kMaxForwardDepth)
        return;
    m_message.forwarded.push_back(
        buildMailMessage(inner, std::move(origin), m_context, m_forwardDepth + 1, std::nullopt));
    for (const std::string &warning : m_message.forwarded.back().warnings)
        m_message.warnings.push_back("in a forwarded message, " + warning);
}

void MimeTreeWalk::addAttachment(std::string name, std::string mimeType, std::string bytes, bool forwarded)
{
    AttachmentPart attachment;
    attachment.declaredName = std::move(name);
    attachment.mimeType = std::move(mimeType);
    attachment.bytes = std::move(bytes);
    attachment.isForwardedMessage = forwarded;
    m_message.attachments.push_back(std::move(attachment));
}

} // namespace tessaly
