#include "mailconverter/mime/MessageConstruction.h"

#include "mailconverter/mime/GMimeHelpers.h"

#include <optional>
#include <utility>

namespace tessaly {

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

} // namespace tessaly
