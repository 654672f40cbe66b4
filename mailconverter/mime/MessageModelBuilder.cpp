#include "mailconverter/mime/MessageModelBuilder.h"

#include "mailconverter/mime/CharsetDecoding.h"
#include "mailconverter/mime/HeaderDecoding.h"
#include "mailconverter/mime/InlineResources.h"
#include "mailconverter/mime/MessageHeaders.h"
#include "mailconverter/mime/MimeTreeWalk.h"
#include "mailconverter/mime/PartFacts.h"
#include "support/Utf8.h"

#include <charconv>
#include <string_view>
#include <utility>

namespace tessaly {

namespace {

// The first text part's charset, for raw 8-bit headers, and the first CJK one, for bodies
// labelled as ASCII that are not.
void findDeclaredCharsets(GMimeObject *object, int depth, DeclaredCharsets &charsets)
{
    if (!object || depth > kMaxPartDepth || (!charsets.text.empty() && !charsets.cjk.empty()))
        return;
    if (GMIME_IS_MULTIPART(object)) {
        GMimeMultipart *multipart = GMIME_MULTIPART(object);
        for (int i = 0, count = g_mime_multipart_get_count(multipart); i < count; ++i)
            findDeclaredCharsets(g_mime_multipart_get_part(multipart, i), depth + 1, charsets);
        return;
    }
    if (!GMIME_IS_PART(object) || mimeTypeOf(object).rfind("text/", 0) != 0)
        return;
    const std::string charset = contentTypeParameter(object, "charset");
    if (charsets.text.empty())
        charsets.text = charset;
    if (charsets.cjk.empty() && isCjkCharset(charset))
        charsets.cjk = charset;
}

// Thunderbird keeps a message it marked deleted (flag 0x0008 of X-Mozilla-Status, four hex
// digits) in its folder file until the folder is compacted. Deleted is not gone: it converts.
bool markedDeletedByThunderbird(std::string_view status)
{
    unsigned flags = 0;
    const auto [end, error] = std::from_chars(status.data(), status.data() + status.size(), flags, 16);
    return error == std::errc() && end != status.data() && (flags & 0x0008U) != 0;
}

// The headers as decodeMessageHeaders decodes them for naming too, and what the page warns of.
void readHeaders(MailMessage &model, const std::vector<RawHeaderField> &fields, const DeclaredCharsets &charsets,
                 std::optional<MailDate> envelopeDate, GMimeParserOptions *options)
{
    MessageHeaders headers = decodeMessageHeaders(fields, charsets.text, envelopeDate, options);
    model.subject = std::move(headers.subject);
    model.from = std::move(headers.from);
    model.to = std::move(headers.to);
    model.cc = std::move(headers.cc);
    model.bcc = std::move(headers.bcc);
    model.replyTo = std::move(headers.replyTo);
    model.messageId = std::move(headers.messageId);
    model.date = headers.date;
    model.dateSource = headers.dateSource;
    if (model.subject.find("\xEF\xBF\xBD") != std::string::npos &&
        firstFieldValue(fields, "Subject").find("\xEF\xBF\xBD") == std::string::npos)
        model.warnings.push_back("the subject has places that do not decode in its charset, shown as U+FFFD");
    if (markedDeletedByThunderbird(firstFieldValue(fields, "X-Mozilla-Status")))
        model.warnings.push_back("deleted in the mail client");
}

} // namespace

MailMessage buildMailMessage(GMimeMessage *message, MessageOrigin origin, ParseContext &context, int forwardDepth,
                             std::optional<MailDate> envelopeDate)
{
    GMimeObject *root = g_mime_message_get_mime_part(message);
    DeclaredCharsets charsets;
    findDeclaredCharsets(root, 0, charsets);
    const std::vector<RawHeaderField> fields = headerFieldsOf(GMIME_OBJECT(message), origin.setAside);
    if (charsets.cjk.empty())
        charsets.cjk = firstCjkEncodedWordCharset(firstFieldValue(fields, "Subject"));

    MailMessage model;
    readHeaders(model, fields, charsets, envelopeDate, context.options);
    MimeTreeWalk walk(model, context, forwardDepth, origin.source, std::move(origin.boundaries), std::move(charsets));
    walk.walk(root, 0);
    settleInlineResources(model, walk.takeResourceCandidates());
    return model;
}

} // namespace tessaly
