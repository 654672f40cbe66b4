#include "mailconverter/mime/MessageHeaders.h"

#include "mailconverter/mime/AddressList.h"
#include "mailconverter/mime/GMimeSession.h"
#include "mailconverter/mime/HeaderBlockScan.h"
#include "mailconverter/mime/HeaderDecoding.h"
#include "support/Utf8.h"

#include <gmime/gmime.h>

#include <algorithm>
#include <utility>

namespace tessaly {

namespace {

std::size_t byteOrderMarkLength(std::string_view bytes)
{
    return bytes.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
}

/// One field of the header block: its name and its raw value, folding kept, without the
/// blanks after the colon and without its final line break.
struct RawField
{
    std::string_view name;
    std::string_view value;
};

std::string_view withoutLineBreak(std::string_view text)
{
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

/// The fields of the header block at the start of `head`, of its first `maxHeaderBytes` bytes.
std::vector<RawField> headerFields(std::string_view head, std::size_t maxHeaderBytes, std::size_t &blockEnd)
{
    head = head.substr(0, maxHeaderBytes);
    const HeaderBlockScan scan = scanHeaderBlock(head, true);
    std::vector<RawField> fields;
    for (const HeaderBlockField &field : scan.fields) {
        const std::string_view whole = head.substr(field.begin, field.end - field.begin);
        std::string_view value = withoutLineBreak(whole.substr(whole.find(':') + 1));
        while (!value.empty() &&
               (value.front() == ' ' || value.front() == '\t' || value.front() == '\r' || value.front() == '\n'))
            value.remove_prefix(1);
        fields.push_back(RawField{whole.substr(0, field.nameEnd), value});
    }
    blockEnd = scan.scanned;
    return fields;
}

bool sameName(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && asciiLowercase(a) == asciiLowercase(b);
}

std::size_t encodedWordStarts(std::string_view text)
{
    std::size_t count = 0;
    for (std::size_t at = text.find("=?"); at != std::string_view::npos; at = text.find("=?", at + 2))
        ++count;
    return count;
}

/// The first field named `name` (as GMime finds it); "" when there is none. A field full of
/// "=?" is unfolded and trimmed, as the whole parse sets it aside from GMime.
std::string firstValue(const std::vector<RawField> &fields, std::string_view name)
{
    const auto found =
        std::find_if(fields.begin(), fields.end(), [&](const RawField &field) { return sameName(field.name, name); });
    if (found == fields.end())
        return {};
    if (encodedWordStarts(found->value) <= kMaxEncodedWordStartsForGMime || sameName(name, "Content-Type"))
        return std::string(found->value);
    const std::string unfolded = unfoldHeader(found->value);
    const std::size_t first = unfolded.find_first_not_of(" \t");
    return first == std::string::npos ? std::string()
                                      : unfolded.substr(first, unfolded.find_last_not_of(" \t") - first + 1);
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
        if (sameName(body.substr(line, std::min<std::size_t>(13, end - line)), "Content-Type:")) {
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

MessageHeaders readMessageHeaders(std::string_view message, std::size_t maxHeaderBytes)
{
    message.remove_prefix(byteOrderMarkLength(message));
    MessageHeaders headers;
    std::optional<MailDate> envelopeDate;
    if (message.substr(0, 5) == "From ") {
        const std::size_t lineEnd = message.find('\n');
        envelopeDate = parseEnvelopeDate(message.substr(0, lineEnd));
        message.remove_prefix(lineEnd == std::string_view::npos ? message.size() : lineEnd + 1);
    }
    if (message.find_first_not_of(" \t\r\n") == std::string_view::npos) {
        headers.date = envelopeDate;
        return headers;
    }
    message.remove_prefix(byteOrderMarkLength(message));
    std::size_t blockEnd = 0;
    const std::vector<RawField> fields = headerFields(message, maxHeaderBytes, blockEnd);

    ensureGMimeInitialised();
    ParserOptionsPtr options = makeParserOptions();
    const std::string charset =
        declaredTextCharset(firstValue(fields, "Content-Type"), message.substr(blockEnd), options.get());
    headers.subject = decodeHeaderText(firstValue(fields, "Subject"), charset);
    headers.from = parseAddressList(firstValue(fields, "From"), charset, options.get());
    headers.to = parseAddressList(firstValue(fields, "To"), charset, options.get());
    if (const std::string id = firstValue(fields, "Message-ID"); !id.empty()) {
        if (char *decoded = g_mime_utils_decode_message_id(id.c_str())) {
            headers.messageId = decoded;
            g_free(decoded);
        }
    }
    headers.date = parseHeaderDate(firstValue(fields, "Date"));
    if (!headers.date)
        headers.date = envelopeDate;
    // Received headers are prepended on the way, so the first one is the newest.
    for (const RawField &field : fields) {
        if (headers.date)
            break;
        if (sameName(field.name, "Received"))
            headers.date = parseReceivedDate(field.value);
    }
    return headers;
}

} // namespace tessaly
