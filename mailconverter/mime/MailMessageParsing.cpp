// The message model's entry points: a message parsed from memory or from its file.
#include "mailconverter/mime/MailMessage.h"

#include "mailconverter/mime/BoundedHeaderBlock.h"
#include "mailconverter/mime/CharsetDecoding.h"
#include "mailconverter/mime/GMimeHelpers.h"
#include "mailconverter/mime/GMimeSession.h"
#include "mailconverter/mime/HeaderBlockRewrite.h"
#include "mailconverter/mime/HeaderDecoding.h"
#include "mailconverter/mime/MessageConstruction.h"
#include "mailconverter/mime/MessageModelBuilder.h"
#include "support/TextHelpers.h"

#include <gmime/gmime.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <utility>

namespace tessaly {

namespace {

// An envelope line longer than this is not one.
constexpr std::size_t kMaxEnvelopeLine = 4096;

void useEnvelopeDate(MailMessage &message, std::optional<MailDate> envelopeDate)
{
    message.date = envelopeDate;
    message.dateSource = MailMessage::DateSource::Envelope;
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
    return buildMailMessage(message.object, MessageOrigin{std::move(setAside), stream, {}}, context, 0, envelopeDate);
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
