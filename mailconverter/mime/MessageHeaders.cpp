#include "mailconverter/mime/MessageHeaders.h"

#include "mailconverter/mime/AddressList.h"
#include "mailconverter/mime/GMimeSession.h"
#include "mailconverter/mime/HeaderBlockScan.h"
#include "mailconverter/mime/HeaderDecoding.h"
#include "mailconverter/mime/MessageConstruction.h"
#include "support/Utf8.h"

#include <gmime/gmime.h>

#include <algorithm>
#include <utility>

namespace tessaly {

namespace {

std::string_view withoutLineBreak(std::string_view text)
{
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

std::string_view withoutLeadingBlanks(std::string_view value)
{
    while (!value.empty() &&
           (value.front() == ' ' || value.front() == '\t' || value.front() == '\r' || value.front() == '\n'))
        value.remove_prefix(1);
    return value;
}

/// The fields of the header block at the start of `head`, of its first `maxHeaderBytes` bytes.
std::vector<RawHeaderField> headerFields(std::string_view head, std::size_t maxHeaderBytes, std::size_t &blockEnd)
{
    head = head.substr(0, maxHeaderBytes);
    const HeaderBlockScan scan = scanHeaderBlock(head, true);
    std::vector<RawHeaderField> fields;
    for (const HeaderBlockField &field : scan.fields) {
        const std::string_view whole = head.substr(field.begin, field.end - field.begin);
        const std::string_view value = withoutLeadingBlanks(withoutLineBreak(whole.substr(whole.find(':') + 1)));
        fields.push_back(RawHeaderField{std::string(whole.substr(0, field.nameEnd)), std::string(value)});
    }
    blockEnd = scan.scanned;
    return fields;
}

/// How far into a multipart message's body the first text part's charset is looked for.
constexpr std::size_t kCharsetSearchBytes = 64 * 1024;

/// The media type and charset of a Content-Type value; empty ones when it cannot be read.
std::pair<std::string, std::string> mediaTypeAndCharset(std::string_view contentType, GMimeParserOptions *options)
{
    if (contentType.empty() || !isParseableMediaType(contentType))
        return {};
    GMimeContentType *type = g_mime_content_type_parse(options, std::string(contentType).c_str());
    if (!type)
        return {};
    const char *mediaType = g_mime_content_type_get_media_type(type);
    const char *charset = g_mime_content_type_get_parameter(type, "charset");
    std::pair<std::string, std::string> result{asciiLowercase(mediaType ? mediaType : ""), charset ? charset : ""};
    g_object_unref(type);
    return result;
}

/// The charset the first text part declares, found among the Content-Type fields at the start
/// of `body` without reading its MIME tree; "" when none does there.
std::string firstTextPartCharset(std::string_view body, GMimeParserOptions *options)
{
    body = body.substr(0, kCharsetSearchBytes);
    for (std::size_t line = 0; line < body.size();) {
        const std::size_t end = std::min(body.find('\n', line), body.size());
        if (equalsIgnoringAsciiCase(body.substr(line, std::min<std::size_t>(13, end - line)), "Content-Type:")) {
            // The field with its continuation lines.
            std::size_t fieldEnd = end;
            while (fieldEnd + 1 < body.size() && (body[fieldEnd + 1] == ' ' || body[fieldEnd + 1] == '\t'))
                fieldEnd = std::min(body.find('\n', fieldEnd + 1), body.size());
            std::string_view value = withoutLineBreak(body.substr(line + 13, fieldEnd - line - 13));
            while (!value.empty() && (value.front() == ' ' || value.front() == '\t'))
                value.remove_prefix(1);
            const auto [mediaType, charset] = mediaTypeAndCharset(value, options);
            if (mediaType == "text" && !charset.empty())
                return charset;
            line = fieldEnd + 1;
            continue;
        }
        line = end + 1;
    }
    return {};
}

/// The charset the message's text declares, in which raw 8-bit headers are read: a text
/// message's own, or a multipart's first text part's.
std::string declaredTextCharset(std::string_view contentType, std::string_view body, GMimeParserOptions *options)
{
    const auto [mediaType, charset] = mediaTypeAndCharset(contentType, options);
    if (mediaType == "text")
        return charset;
    if (mediaType == "multipart")
        return firstTextPartCharset(body, options);
    return {};
}

} // namespace

std::vector<RawHeaderField> headerFieldsOf(GMimeObject *object, const SetAsideHeaders &setAside)
{
    std::vector<RawHeaderField> fields;
    GMimeHeaderList *headers = g_mime_object_get_header_list(object);
    const int count = headers ? g_mime_header_list_get_count(headers) : 0;
    std::size_t nextSetAside = 0;
    for (int i = 0; i < count; ++i) {
        GMimeHeader *header = g_mime_header_list_get_header_at(headers, i);
        const char *name = g_mime_header_get_name(header);
        const char *raw = g_mime_header_get_raw_value(header);
        RawHeaderField field{name ? name : "", std::string(withoutLeadingBlanks(raw ? raw : ""))};
        if (nextSetAside < setAside.size() && field.value.empty() &&
            equalsIgnoringAsciiCase(field.name, setAside[nextSetAside].first))
            field.value = withoutLeadingBlanks(setAside[nextSetAside++].second);
        fields.push_back(std::move(field));
    }
    // Set aside but not in GMime's list: still the message's own.
    for (; nextSetAside < setAside.size(); ++nextSetAside)
        fields.push_back(RawHeaderField{setAside[nextSetAside].first,
                                        std::string(withoutLeadingBlanks(setAside[nextSetAside].second))});
    return fields;
}

std::string firstFieldValue(const std::vector<RawHeaderField> &fields, std::string_view name)
{
    const auto found = std::find_if(fields.begin(), fields.end(), [&](const RawHeaderField &field) {
        return equalsIgnoringAsciiCase(field.name, name);
    });
    if (found == fields.end())
        return {};
    if (!isKeptFromGMime(found->name, found->value))
        return found->value;
    const std::string unfolded = unfoldHeader(found->value);
    const std::size_t first = unfolded.find_first_not_of(" \t");
    return first == std::string::npos ? std::string()
                                      : unfolded.substr(first, unfolded.find_last_not_of(" \t") - first + 1);
}

MessageHeaders decodeMessageHeaders(const std::vector<RawHeaderField> &fields, std::string_view declaredCharset,
                                    std::optional<MailDate> envelopeDate, GMimeParserOptions *options)
{
    MessageHeaders headers;
    // Our own decoder, not GMime's: it handles unknown charsets and unpadded base64.
    headers.subject = decodeHeaderText(firstFieldValue(fields, "Subject"), declaredCharset);
    headers.from = parseAddressList(firstFieldValue(fields, "From"), declaredCharset, options);
    headers.to = parseAddressList(firstFieldValue(fields, "To"), declaredCharset, options);
    headers.cc = parseAddressList(firstFieldValue(fields, "Cc"), declaredCharset, options);
    headers.bcc = parseAddressList(firstFieldValue(fields, "Bcc"), declaredCharset, options);
    headers.replyTo = parseAddressList(firstFieldValue(fields, "Reply-To"), declaredCharset, options);
    if (const std::string id = firstFieldValue(fields, "Message-ID"); !id.empty()) {
        if (char *decoded = g_mime_utils_decode_message_id(id.c_str())) {
            headers.messageId = decoded;
            g_free(decoded);
        }
    }
    headers.date = parseHeaderDate(firstFieldValue(fields, "Date"));
    if (headers.date)
        return headers;
    headers.date = envelopeDate;
    headers.dateSource = MailMessage::DateSource::Envelope;
    if (headers.date)
        return headers;
    // Received headers are prepended on the way, so the first one is the newest.
    for (const RawHeaderField &field : fields) {
        if (!equalsIgnoringAsciiCase(field.name, "Received"))
            continue;
        headers.date = parseReceivedDate(field.value);
        if (headers.date) {
            headers.dateSource = MailMessage::DateSource::Received;
            break;
        }
    }
    return headers;
}

MessageHeaders readMessageHeaders(std::string_view message, std::size_t maxHeaderBytes)
{
    message.remove_prefix(byteOrderMarkLength(message));
    std::optional<MailDate> envelopeDate;
    if (message.substr(0, 5) == "From ") {
        const std::size_t lineEnd = message.find('\n');
        envelopeDate = parseEnvelopeDate(message.substr(0, lineEnd));
        message.remove_prefix(lineEnd == std::string_view::npos ? message.size() : lineEnd + 1);
    }
    if (message.find_first_not_of(" \t\r\n") == std::string_view::npos) {
        MessageHeaders headers;
        headers.date = envelopeDate;
        headers.dateSource = MailMessage::DateSource::Envelope;
        return headers;
    }
    message.remove_prefix(byteOrderMarkLength(message));
    std::size_t blockEnd = 0;
    const std::vector<RawHeaderField> fields = headerFields(message, maxHeaderBytes, blockEnd);

    ensureGMimeInitialised();
    ParserOptionsPtr options = makeParserOptions();
    const std::string charset =
        declaredTextCharset(firstFieldValue(fields, "Content-Type"), message.substr(blockEnd), options.get());
    return decodeMessageHeaders(fields, charset, envelopeDate, options.get());
}

} // namespace tessaly
