#include "mailconverter/mime/GMimeHelpers.h"

#include "mailconverter/mime/Base64Decoding.h"

#include <string_view>

namespace tessaly {

std::string streamBytes(GMimeStream *stream)
{
    GByteArray *array = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(stream));
    return std::string(reinterpret_cast<const char *>(array->data), array->len);
}

std::string partContent(GMimePart *part)
{
    GMimeDataWrapper *content = g_mime_part_get_content(part);
    if (!content)
        return {};
    GMimeStream *encoded = g_mime_data_wrapper_get_stream(content);
    if (encoded && g_mime_data_wrapper_get_encoding(content) == GMIME_CONTENT_ENCODING_BASE64) {
        // GMime's decoder stops at the first "=", wherever it stands; ours reads on.
        GObjectRef<GMimeStream> copy(g_mime_stream_mem_new());
        g_mime_stream_reset(encoded);
        g_mime_stream_write_to_stream(encoded, copy.object);
        GByteArray *array = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(copy.object));
        return decodeBase64(std::string_view(reinterpret_cast<const char *>(array->data), array->len));
    }
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
    while (!value.empty() &&
           (value.front() == ' ' || value.front() == '\t' || value.front() == '\r' || value.front() == '\n'))
        value.remove_prefix(1);
    return std::string(value);
}

} // namespace tessaly
