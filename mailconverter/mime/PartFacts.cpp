#include "mailconverter/mime/PartFacts.h"

#include "mailconverter/mime/AlternativeContent.h"
#include "mailconverter/mime/CharsetDecoding.h"
#include "mailconverter/mime/GMimeHelpers.h"
#include "mailconverter/mime/HeaderBlockScan.h"
#include "mailconverter/mime/HeaderDecoding.h"
#include "support/TextHelpers.h"
#include "support/Utf8.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <utility>

namespace tessaly {

namespace {

// How far into an HTML part to look for a <meta charset>.
constexpr std::size_t kCharsetSniffBytes = 2048;
// How far into an attached message its first header field is looked for.
constexpr std::size_t kMessageProbeBytes = 64 * 1024;

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

} // namespace

std::string validUtf8(const char *text)
{
    if (!text)
        return {};
    return decodeToUtf8(text, {});
}

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

bool isMessageType(const std::string &type)
{
    return type == "message/rfc822" || type == "message/global" || type == "message/news";
}

bool holdsHeaderFields(std::string_view bytes)
{
    return !scanHeaderBlock(bytes.substr(0, kMessageProbeBytes), true).fields.empty();
}

bool isReportType(const std::string &type)
{
    return type == "message/delivery-status" || type == "message/global-delivery-status" ||
           type == "message/feedback-report" || type == "message/disposition-notification" ||
           type == "message/global-disposition-notification" || type == "text/rfc822-headers" ||
           type == "message/global-headers";
}

bool isShowableImage(const std::string &type)
{
    return type == "image/png" || type == "image/jpeg" || type == "image/jpg" || type == "image/pjpeg" ||
           type == "image/gif" || type == "image/bmp" || type == "image/webp";
}

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

} // namespace tessaly
