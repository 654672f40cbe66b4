// Building the message model from GMime's MIME tree.
#include "MailMessage.h"

#include "CharsetDecoding.h"
#include "FlowedText.h"
#include "GMimeSession.h"
#include "HeaderDecoding.h"
#include "HtmlComposer.h"

#include <gmime/gmime.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <cstdio>
#include <functional>
#include <set>

namespace tessaly {

namespace {

// Hostile mail nests multiparts thousands deep; nothing real goes near these.
constexpr int kMaxPartDepth = 40;
constexpr int kMaxForwardDepth = 8;
// How far into an HTML part to look for a <meta charset>.
constexpr std::size_t kCharsetSniffBytes = 2048;
// An envelope line longer than this is not one.
constexpr std::size_t kMaxEnvelopeLine = 4096;

std::string toLower(std::string_view text)
{
    std::string out(text);
    for (char &c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string validUtf8(const char *text)
{
    if (!text)
        return {};
    return decodeToUtf8(text, {});
}

// GMime objects are reference counted; this drops our reference at scope exit.
template <typename T>
struct GObjectRef
{
    T *object = nullptr;
    explicit GObjectRef(T *o) : object(o) {}
    ~GObjectRef()
    {
        if (object)
            g_object_unref(object);
    }
    GObjectRef(const GObjectRef &) = delete;
    GObjectRef &operator=(const GObjectRef &) = delete;
};

std::string streamBytes(GMimeStream *stream)
{
    GByteArray *array = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(stream));
    return std::string(reinterpret_cast<const char *>(array->data), array->len);
}

// The decoded content of a leaf part (transfer encoding undone, charset untouched).
std::string partContent(GMimePart *part)
{
    GMimeDataWrapper *content = g_mime_part_get_content(part);
    if (!content)
        return {};
    GObjectRef<GMimeStream> stream(g_mime_stream_mem_new());
    g_mime_data_wrapper_write_to_stream(content, stream.object);
    return streamBytes(stream.object);
}

std::string objectBytes(GMimeObject *object)
{
    GObjectRef<GMimeStream> stream(g_mime_stream_mem_new());
    g_mime_object_write_to_stream(object, nullptr, stream.object);
    return streamBytes(stream.object);
}

std::string rawHeader(GMimeObject *object, const char *name)
{
    GMimeHeaderList *headers = g_mime_object_get_header_list(object);
    if (!headers)
        return {};
    GMimeHeader *header = g_mime_header_list_get_header(headers, name);
    if (!header)
        return {};
    const char *raw = g_mime_header_get_raw_value(header);
    if (!raw)
        return {};
    // The blanks after the colon are syntax, not part of the value.
    std::string_view value(raw);
    while (!value.empty() && (value.front() == ' ' || value.front() == '\t' || value.front() == '\r' || value.front() == '\n'))
        value.remove_prefix(1);
    return std::string(value);
}

std::string mimeTypeOf(GMimeObject *object)
{
    GMimeContentType *type = g_mime_object_get_content_type(object);
    if (!type)
        return "application/octet-stream";
    const char *mediaType = g_mime_content_type_get_media_type(type);
    const char *subtype = g_mime_content_type_get_media_subtype(type);
    return toLower(std::string(mediaType ? mediaType : "application") + "/" + (subtype ? subtype : "octet-stream"));
}

std::string contentTypeParameter(GMimeObject *object, const char *name)
{
    const char *value = g_mime_object_get_content_type_parameter(object, name);
    return value ? std::string(value) : std::string();
}

// Outlook writes Windows paths unescaped inside quotes; RFC quoting rules would eat the
// backslashes ("C:\x\y.exe" -> "C:xy.exe"), so such a name (and one with encoded words)
// is taken from the raw header.
std::optional<std::string> rawQuotedParameter(const std::string &rawValue, std::string_view name)
{
    const std::string lower = toLower(rawValue);
    std::size_t at = 0;
    while ((at = lower.find(name, at)) != std::string::npos) {
        const bool startsWord = at == 0 || lower[at - 1] == ';' || std::isspace(static_cast<unsigned char>(lower[at - 1]));
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

std::string declaredNameOf(GMimeObject *object)
{
    for (const auto &[header, parameter] : {std::pair{"Content-Disposition", "filename"}, std::pair{"Content-Type", "name"}}) {
        const std::string raw = rawHeader(object, header);
        if (raw.find('\\') == std::string::npos && raw.find("=?") == std::string::npos)
            continue;
        // Our decoder also reads unpadded base64 words, which GMime cuts short.
        const std::optional<std::string> value = rawQuotedParameter(unfoldHeader(raw), parameter);
        if (value && (value->find('\\') != std::string::npos || value->find("=?") != std::string::npos))
            return decodeHeaderText(*value);
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

bool isAttachmentDisposition(GMimeObject *object)
{
    const char *disposition = g_mime_object_get_disposition(object);
    return disposition && g_ascii_strcasecmp(disposition, "attachment") == 0;
}

std::string sniffHtmlCharset(std::string_view html)
{
    const std::string head = toLower(html.substr(0, kCharsetSniffBytes));
    const std::size_t at = head.find("charset=");
    if (at == std::string::npos)
        return {};
    std::size_t begin = at + 8;
    while (begin < head.size() && (head[begin] == '"' || head[begin] == '\''))
        ++begin;
    std::size_t end = begin;
    while (end < head.size() && (std::isalnum(static_cast<unsigned char>(head[end])) || head[end] == '-' || head[end] == '_'))
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
            colon != std::string_view::npos && colon > 0 && next.substr(0, colon).find_first_of(" \t") == std::string_view::npos)
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
};

class ModelBuilder
{
public:
    ModelBuilder(GMimeParserOptions *options, int forwardDepth) : m_options(options), m_forwardDepth(forwardDepth) {}

    MailMessage build(GMimeMessage *message, std::optional<MailDate> envelopeDate);

private:
    void readHeaders(GMimeMessage *message, std::optional<MailDate> envelopeDate);
    std::vector<MailAddress> addressesOf(GMimeObject *object, const char *header) const;
    /// `namedTextIsBody`: whether a text part with a file name may be a body; false for
    /// the later parts of a multipart/mixed, where named text parts are attached files.
    void walk(GMimeObject *object, int depth, bool namedTextIsBody = true);
    void walkMultipart(GMimeMultipart *multipart, int depth);
    void walkAlternative(GMimeMultipart *multipart, int depth);
    void walkRelated(GMimeMultipart *multipart, int depth);
    void walkLeaf(GMimePart *part, bool namedTextIsBody);
    void walkMessagePart(GMimeMessagePart *part);
    void addTextBody(GMimePart *part, const std::string &mimeType);
    void addAttachment(GMimeObject *object, std::string bytes, bool forwarded = false);
    void settleResources();

    MailMessage m_message;
    std::vector<ResourceCandidate> m_candidates;
    GMimeParserOptions *m_options = nullptr;
    int m_forwardDepth = 0;
};

void appendAddresses(InternetAddressList *list, std::vector<MailAddress> &out, int depth = 0)
{
    if (!list || depth > 4)
        return;
    const int count = internet_address_list_length(list);
    for (int i = 0; i < count; ++i) {
        InternetAddress *address = internet_address_list_get_address(list, i);
        if (INTERNET_ADDRESS_IS_GROUP(address)) {
            appendAddresses(internet_address_group_get_members(INTERNET_ADDRESS_GROUP(address)), out, depth + 1);
            continue;
        }
        MailAddress entry;
        entry.name = validUtf8(internet_address_get_name(address));
        if (INTERNET_ADDRESS_IS_MAILBOX(address))
            entry.address = validUtf8(internet_address_mailbox_get_addr(INTERNET_ADDRESS_MAILBOX(address)));
        if (!entry.name.empty() || !entry.address.empty())
            out.push_back(std::move(entry));
    }
}

// Parsed from the raw header, after repairing encoded words GMime would lose.
std::vector<MailAddress> ModelBuilder::addressesOf(GMimeObject *object, const char *header) const
{
    std::vector<MailAddress> addresses;
    const std::string raw = rawHeader(object, header);
    if (raw.empty())
        return addresses;
    const std::string repaired = reencodeEncodedWords(raw);
    InternetAddressList *list = internet_address_list_parse(m_options, repaired.c_str());
    if (!list)
        return addresses;
    appendAddresses(list, addresses);
    g_object_unref(list);
    return addresses;
}

void ModelBuilder::readHeaders(GMimeMessage *message, std::optional<MailDate> envelopeDate)
{
    GMimeObject *object = GMIME_OBJECT(message);
    // Our own decoder, not GMime's: it handles unknown charsets and unpadded base64.
    m_message.subject = decodeHeaderText(rawHeader(object, "Subject"));
    m_message.from = addressesOf(object, "From");
    m_message.to = addressesOf(object, "To");
    m_message.cc = addressesOf(object, "Cc");

    m_message.date = parseHeaderDate(rawHeader(object, "Date"));
    if (!m_message.date)
        m_message.date = envelopeDate;
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
    }
}

void ModelBuilder::walk(GMimeObject *object, int depth, bool namedTextIsBody)
{
    if (!object)
        return;
    if (depth > kMaxPartDepth) {
        addAttachment(object, objectBytes(object));
        return;
    }
    if (GMIME_IS_MULTIPART(object))
        walkMultipart(GMIME_MULTIPART(object), depth);
    else if (GMIME_IS_MESSAGE_PART(object))
        walkMessagePart(GMIME_MESSAGE_PART(object));
    else if (GMIME_IS_PART(object))
        walkLeaf(GMIME_PART(object), namedTextIsBody);
}

void ModelBuilder::walkMultipart(GMimeMultipart *multipart, int depth)
{
    GMimeObject *object = GMIME_OBJECT(multipart);
    const int count = g_mime_multipart_get_count(multipart);
    if (count == 0) {
        // A lost or wrong boundary leaves everything in the prologue: read its parts with the
        // boundary they use, else show it as text.
        const char *prologue = g_mime_multipart_get_prologue(multipart);
        const std::string boundary = prologue ? boundaryInPrologue(prologue) : std::string();
        if (!boundary.empty()) {
            const std::string bytes = "Content-Type: " + mimeTypeOf(object) + "; boundary=\"" + boundary + "\"\n\n" + prologue;
            GObjectRef<GMimeStream> stream(g_mime_stream_mem_new_with_buffer(bytes.data(), bytes.size()));
            GObjectRef<GMimeParser> parser(g_mime_parser_new_with_stream(stream.object));
            GObjectRef<GMimeObject> recovered(g_mime_parser_construct_part(parser.object, m_options));
            if (recovered.object && GMIME_IS_MULTIPART(recovered.object) &&
                g_mime_multipart_get_count(GMIME_MULTIPART(recovered.object)) > 0) {
                walk(recovered.object, depth + 1);
                return;
            }
        }
        if (prologue && *prologue) {
            const std::string text = normaliseLineEnds(decodeToUtf8(prologue, contentTypeParameter(object, "charset")));
            if (text.find_first_not_of(" \t\n") != std::string::npos)
                m_message.bodies.push_back(BodyPart{BodyPart::Kind::PlainText, text});
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

// The richest alternative we can show: HTML (directly or as the root of a related or
// mixed part), else plain text, else the last one (RFC 2046 puts the best last).
void ModelBuilder::walkAlternative(GMimeMultipart *multipart, int depth)
{
    const int count = g_mime_multipart_get_count(multipart);
    int html = -1;
    int plain = -1;
    int multipartChild = -1;
    for (int i = 0; i < count; ++i) {
        GMimeObject *child = g_mime_multipart_get_part(multipart, i);
        const std::string type = mimeTypeOf(child);
        if (isAttachmentDisposition(child))
            continue;
        if (type == "text/html")
            html = i;
        else if (type == "text/plain" && plain < 0)
            plain = i;
        else if (GMIME_IS_MULTIPART(child))
            multipartChild = i;
    }
    int chosen = html >= 0 ? html : multipartChild >= 0 ? multipartChild : plain >= 0 ? plain : count - 1;
    walk(g_mime_multipart_get_part(multipart, chosen), depth + 1);
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
    const bool isText = type == "text/plain" || type == "text/html";
    // Apple Mail sends attached text files inline with a name; they are files, not text.
    const bool isNamedFile = !namedTextIsBody && !declaredNameOf(object).empty();
    if (isText && !isAttachmentDisposition(object) && !isNamedFile) {
        addTextBody(part, type);
        return;
    }
    std::string bytes = partContent(part);
    const char *contentId = g_mime_object_get_content_id(object);
    const char *location = g_mime_object_get_header(object, "Content-Location");
    if ((contentId && *contentId) || (location && *location)) {
        ResourceCandidate candidate;
        candidate.resource.contentId = validUtf8(contentId);
        candidate.resource.contentLocation = location ? unfoldHeader(location) : std::string();
        candidate.resource.mimeType = type;
        candidate.resource.bytes = std::move(bytes);
        candidate.declaredName = declaredNameOf(object);
        candidate.attachmentIndex = m_message.attachments.size();
        m_candidates.push_back(std::move(candidate));
        return;
    }
    addAttachment(object, std::move(bytes));
}

void ModelBuilder::addTextBody(GMimePart *part, const std::string &mimeType)
{
    GMimeObject *object = GMIME_OBJECT(part);
    const std::string raw = partContent(part);
    std::string charset = contentTypeParameter(object, "charset");
    const bool isHtml = mimeType == "text/html";
    if (charset.empty() && isHtml)
        charset = sniffHtmlCharset(raw);
    std::string text = normaliseLineEnds(decodeToUtf8(raw, charset));
    if (!isHtml && g_ascii_strcasecmp(contentTypeParameter(object, "format").c_str(), "flowed") == 0) {
        const bool delSp = g_ascii_strcasecmp(contentTypeParameter(object, "delsp").c_str(), "yes") == 0;
        text = reflowFlowedText(text, delSp);
    }
    // An empty text part is no body: the message then shows just its headers.
    if (text.find_first_not_of(" \t\n") == std::string::npos)
        return;
    m_message.bodies.push_back(BodyPart{isHtml ? BodyPart::Kind::Html : BodyPart::Kind::PlainText, std::move(text)});
}

void ModelBuilder::walkMessagePart(GMimeMessagePart *part)
{
    GMimeObject *object = GMIME_OBJECT(part);
    GMimeMessage *inner = g_mime_message_part_get_message(part);
    if (!inner) {
        addAttachment(object, {});
        return;
    }
    std::string raw = objectBytes(GMIME_OBJECT(inner));
    if (m_forwardDepth < kMaxForwardDepth)
        m_message.forwarded.push_back(ModelBuilder(m_options, m_forwardDepth + 1).build(inner, std::nullopt));
    addAttachment(object, std::move(raw), true);
}

void ModelBuilder::addAttachment(GMimeObject *object, std::string bytes, bool forwarded)
{
    AttachmentPart attachment;
    attachment.declaredName = declaredNameOf(object);
    attachment.mimeType = forwarded ? std::string("message/rfc822") : mimeTypeOf(object);
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
            ids.insert(percentDecode(std::string_view(html).substr(begin, end == std::string::npos ? end : end - begin)));
        }
    }
    return ids;
}

bool htmlReferences(const std::vector<std::string> &lowerHtml, const std::set<std::string> &contentIds,
                    const InlineResource &resource)
{
    if (!resource.contentId.empty() && contentIds.count(toLower(resource.contentId)))
        return true;
    const std::string location = toLower(resource.contentLocation);
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
            lowerHtml.push_back(toLower(body.text));
    }
    const std::set<std::string> contentIds = referencedContentIds(lowerHtml);
    std::size_t inserted = 0;
    for (ResourceCandidate &candidate : m_candidates) {
        if (htmlReferences(lowerHtml, contentIds, candidate.resource)) {
            m_message.inlineResources.push_back(std::move(candidate.resource));
            continue;
        }
        AttachmentPart attachment;
        attachment.declaredName = std::move(candidate.declaredName);
        attachment.mimeType = candidate.resource.mimeType;
        attachment.bytes = std::move(candidate.resource.bytes);
        const std::size_t at = std::min(candidate.attachmentIndex + inserted, m_message.attachments.size());
        m_message.attachments.insert(m_message.attachments.begin() + static_cast<std::ptrdiff_t>(at), std::move(attachment));
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

} // namespace

namespace {

// Parses the message in `stream` (which starts after any envelope line). `rawText` is the
// text to show when GMime finds no message at all.
MailMessage parseStream(GMimeStream *stream, std::optional<MailDate> envelopeDate,
                        const std::function<std::string()> &rawText)
{
    ParserOptionsPtr options = makeParserOptions();
    GObjectRef<GMimeParser> parser(g_mime_parser_new_with_stream(stream));
    g_mime_parser_set_format(parser.object, GMIME_FORMAT_MESSAGE);
    GObjectRef<GMimeMessage> message(g_mime_parser_construct_message(parser.object, options.get()));
    if (!message.object) {
        // Not a message GMime can read: show the text as it is rather than nothing.
        MailMessage fallback;
        fallback.date = envelopeDate;
        const std::string text = normaliseLineEnds(decodeToUtf8(rawText(), {}));
        if (text.find_first_not_of(" \t\n") != std::string::npos)
            fallback.bodies.push_back(BodyPart{BodyPart::Kind::PlainText, text});
        return fallback;
    }
    return ModelBuilder(options.get(), 0).build(message.object, envelopeDate);
}

bool isBlankText(std::string_view bytes)
{
    return bytes.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

} // namespace

Result<MailMessage> parseMailMessage(std::string_view bytes)
{
    std::optional<MailDate> envelopeDate;
    if (bytes.substr(0, 5) == "From ") {
        const std::size_t lineEnd = bytes.find('\n');
        envelopeDate = parseEnvelopeDate(bytes.substr(0, lineEnd));
        bytes.remove_prefix(lineEnd == std::string_view::npos ? bytes.size() : lineEnd + 1);
    }
    if (isBlankText(bytes)) {
        MailMessage empty;
        empty.date = envelopeDate;
        return empty;
    }
    ensureGMimeInitialised();
    GObjectRef<GMimeStream> stream(g_mime_stream_mem_new_with_buffer(bytes.data(), bytes.size()));
    return parseStream(stream.object, envelopeDate, [bytes] { return std::string(bytes); });
}

// Parsed straight from the file: GMime then keeps part contents on disk, not in memory,
// so a 100 MB message costs its decoded parts only.
Result<MailMessage> parseMailMessageFile(const std::string &path)
{
    FILE *file = std::fopen(path.c_str(), "rb");
    if (!file)
        return Error{"cannot open message file '" + path + "': " + std::strerror(errno)};
    std::string firstLine;
    for (int c = std::fgetc(file); c != EOF && c != '\n' && firstLine.size() < kMaxEnvelopeLine; c = std::fgetc(file))
        firstLine += static_cast<char>(c);
    if (std::ferror(file)) {
        const int error = errno;
        std::fclose(file);
        return Error{"cannot read message file '" + path + "': " + std::strerror(error)};
    }
    std::optional<MailDate> envelopeDate;
    long start = 0;
    if (firstLine.rfind("From ", 0) == 0) {
        envelopeDate = parseEnvelopeDate(firstLine);
        start = std::ftell(file);
    }
    std::fseek(file, 0, SEEK_END);
    const long size = std::ftell(file);
    std::fseek(file, start, SEEK_SET);
    if (size <= start) {
        std::fclose(file);
        MailMessage empty;
        empty.date = envelopeDate;
        return empty;
    }
    ensureGMimeInitialised();
    // The stream owns `file` from here on and closes it.
    GObjectRef<GMimeStream> stream(g_mime_stream_file_new_with_bounds(file, start, -1));
    return parseStream(stream.object, envelopeDate, [&stream] {
        GObjectRef<GMimeStream> copy(g_mime_stream_mem_new());
        g_mime_stream_reset(stream.object);
        g_mime_stream_write_to_stream(stream.object, copy.object);
        return streamBytes(copy.object);
    });
}

std::string senderDisplayName(const MailMessage &message)
{
    if (message.from.empty())
        return {};
    return message.from.front().name.empty() ? message.from.front().address : message.from.front().name;
}

std::string resourceKey(const InlineResource &resource)
{
    return resource.contentId.empty() ? resource.contentLocation : resource.contentId;
}

const InlineResource *findInlineResource(const MailMessage &message, std::string_view key)
{
    for (const InlineResource &resource : message.inlineResources) {
        if (resourceKey(resource) == key)
            return &resource;
    }
    for (const MailMessage &inner : message.forwarded) {
        if (const InlineResource *found = findInlineResource(inner, key))
            return found;
    }
    return nullptr;
}

std::vector<const InlineResource *> allInlineResources(const MailMessage &message)
{
    std::vector<const InlineResource *> resources;
    for (const InlineResource &resource : message.inlineResources)
        resources.push_back(&resource);
    for (const MailMessage &inner : message.forwarded) {
        const std::vector<const InlineResource *> more = allInlineResources(inner);
        resources.insert(resources.end(), more.begin(), more.end());
    }
    return resources;
}

} // namespace tessaly
