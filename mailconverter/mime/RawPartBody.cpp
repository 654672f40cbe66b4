#include "mailconverter/mime/RawPartBody.h"

#include "mailconverter/mime/GMimeHelpers.h"

#include <string_view>

namespace tessaly {

namespace {

constexpr std::size_t kChunkBytes = 64 * 1024;

// Whether `line` (without its line break) is "--boundary" or "--boundary--", blanks after.
bool isDelimiterLine(std::string_view line, const std::vector<std::string> &boundaries)
{
    if (!line.starts_with("--"))
        return false;
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
        line.remove_suffix(1);
    line.remove_prefix(2);
    for (const std::string &boundary : boundaries) {
        if (line == boundary ||
            (line.size() == boundary.size() + 2 && line.starts_with(boundary) && line.ends_with("--")))
            return true;
    }
    return false;
}

// The offset of the part's last header field, where the scan for the end of its block starts.
std::optional<gint64> lastHeaderOffset(GMimeObject *part)
{
    GMimeHeaderList *headers = g_mime_object_get_header_list(part);
    const int count = headers ? g_mime_header_list_get_count(headers) : 0;
    if (count == 0)
        return std::nullopt;
    const gint64 offset = g_mime_header_get_offset(g_mime_header_list_get_header_at(headers, count - 1));
    return offset >= 0 ? std::optional<gint64>(offset) : std::nullopt;
}

} // namespace

std::optional<std::string> rawPartBody(GMimeStream *source, GMimeObject *part,
                                       const std::vector<std::string> &boundaries)
{
    const std::optional<gint64> from = source ? lastHeaderOffset(part) : std::nullopt;
    if (!from)
        return std::nullopt;
    GObjectRef<GMimeStream> rest(g_mime_stream_substream(source, *from, -1));
    if (!rest.object)
        return std::nullopt;
    std::string text;
    std::optional<std::size_t> bodyStart;
    std::size_t lineStart = 0;
    char chunk[kChunkBytes];
    bool atEnd = false;
    while (!atEnd) {
        const gssize read = g_mime_stream_read(rest.object, chunk, sizeof chunk);
        atEnd = read <= 0;
        if (read > 0)
            text.append(chunk, static_cast<std::size_t>(read));
        // Only whole lines are looked at, and the last one once the stream ends.
        while (lineStart < text.size()) {
            std::size_t lineEnd = text.find('\n', lineStart);
            if (lineEnd == std::string::npos) {
                if (!atEnd)
                    break;
                lineEnd = text.size();
            }
            std::string_view line = std::string_view(text).substr(lineStart, lineEnd - lineStart);
            if (!bodyStart) {
                if (line.empty() || line == "\r")
                    bodyStart = lineEnd + 1;
            } else if (isDelimiterLine(line, boundaries)) {
                // RFC 2046: the line break before a delimiter belongs to the delimiter.
                std::size_t end = lineStart;
                if (end > *bodyStart && text[end - 1] == '\n')
                    --end;
                if (end > *bodyStart && text[end - 1] == '\r')
                    --end;
                return text.substr(*bodyStart, end - *bodyStart);
            }
            lineStart = lineEnd + 1;
        }
    }
    if (!bodyStart)
        return std::nullopt;
    return *bodyStart < text.size() ? text.substr(*bodyStart) : std::string();
}

} // namespace tessaly
