#include "tests/fidelity/AttachedParts.h"

#include <gmime/gmime.h>

#include <string_view>

namespace tessaly::test {
namespace {

constexpr std::string_view kMessageType = "message/rfc822";
constexpr std::string_view kOpaqueType = "application/x-opaque-message";

// What GMime finds in each attached part, read with attached messages taken as opaque parts,
// so that their bytes are those between the part's header block and the next delimiter.
void collectAttachedParts(GMimeObject *object, std::vector<std::string> &out)
{
    if (GMIME_IS_MULTIPART(object)) {
        GMimeMultipart *multipart = GMIME_MULTIPART(object);
        for (int i = 0; i < g_mime_multipart_get_count(multipart); ++i)
            collectAttachedParts(g_mime_multipart_get_part(multipart, i), out);
        return;
    }
    if (!GMIME_IS_PART(object))
        return;
    GMimeContentType *type = g_mime_object_get_content_type(object);
    const bool isMessage = g_mime_content_type_is_type(type, "application", "x-opaque-message");
    const char *disposition = g_mime_object_get_disposition(object);
    const bool isAttachment = disposition && g_ascii_strcasecmp(disposition, "attachment") == 0;
    // TNEF is replaced by the files it carries.
    if ((!isMessage && !isAttachment) || g_mime_content_type_is_type(type, "application", "ms-tnef"))
        return;
    GMimeDataWrapper *content = g_mime_part_get_content(GMIME_PART(object));
    GMimeStream *decoded = g_mime_stream_mem_new();
    g_mime_data_wrapper_write_to_stream(content, decoded);
    GByteArray *bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(decoded));
    out.emplace_back(reinterpret_cast<const char *>(bytes->data), bytes->len);
    g_object_unref(decoded);
}

} // namespace

std::vector<std::string> attachedPartsOf(std::string message)
{
    for (std::size_t at = message.find(kMessageType); at != std::string::npos; at = message.find(kMessageType, at))
        message.replace(at, kMessageType.size(), kOpaqueType);
    g_mime_init();
    GMimeStream *stream = g_mime_stream_mem_new_with_buffer(message.data(), message.size());
    GMimeParser *parser = g_mime_parser_new_with_stream(stream);
    GMimeMessage *parsed = g_mime_parser_construct_message(parser, nullptr);
    std::vector<std::string> parts;
    if (parsed) {
        collectAttachedParts(g_mime_message_get_mime_part(parsed), parts);
        g_object_unref(parsed);
    }
    g_object_unref(parser);
    g_object_unref(stream);
    return parts;
}

} // namespace tessaly::test
