#include "mailconverter/html/BodySizeLimit.h"

#include "support/ByteSize.h"
#include "support/Utf8.h"

#include <algorithm>

namespace tessaly {
namespace {

/// "message body.txt" for the first whole body, then "message body 2.html" and so on.
std::string wholeBodyName(bool isHtml, std::size_t bodiesBefore)
{
    const std::string number = bodiesBefore == 0 ? "" : " " + std::to_string(bodiesBefore + 1);
    return "message body" + number + (isHtml ? ".html" : ".txt");
}

} // namespace

void limitBodySizes(MailMessage &message, const std::string &embeddedSourceName, std::vector<CutBody> &cutBodies,
                    std::vector<std::string> &warnings)
{
    for (BodyPart &body : message.bodies) {
        if (body.text.size() <= kMaxBodyBytes)
            continue;
        std::size_t cut = body.text.rfind('\n', kMaxBodyBytes);
        if (cut == std::string::npos || cut < kMaxBodyBytes / 2)
            cut = kMaxBodyBytes;
        cut = characterBoundaryAtOrBefore(body.text, cut);
        const bool isHtml = body.kind == BodyPart::Kind::Html;
        const std::string wholeName =
            embeddedSourceName.empty() ? wholeBodyName(isHtml, cutBodies.size()) : embeddedSourceName;
        const std::string note = "[The rest of this body, " + formatByteSize(body.text.size() - cut) +
                                 ", is too long to show here. The whole " +
                                 (embeddedSourceName.empty() ? "text" : "message") + " is attached to this PDF as \"" +
                                 wholeName + "\".]";
        if (embeddedSourceName.empty())
            cutBodies.push_back({wholeName, isHtml ? "text/html" : "text/plain", body.text, &body});
        body.text.resize(cut);
        body.text += isHtml ? "<p>" + note + "</p>" : "\n\n" + note + "\n";
        warnings.push_back("a body was cut to " + formatByteSize(kMaxBodyBytes) +
                           " on the page; its whole text is "
                           "embedded in the PDF as '" +
                           wholeName + "'");
    }
    for (MailMessage &inner : message.forwarded)
        limitBodySizes(inner, embeddedSourceName, cutBodies, warnings);
}

std::size_t keepUncutBodies(const MailMessage &message, std::vector<CutBody> &cutBodies)
{
    std::size_t added = 0;
    for (const BodyPart &body : message.bodies) {
        if (body.kind == BodyPart::Kind::Image ||
            std::any_of(cutBodies.begin(), cutBodies.end(), [&](const CutBody &cut) { return cut.shownAs == &body; }))
            continue;
        const bool isHtml = body.kind == BodyPart::Kind::Html;
        cutBodies.push_back(
            {wholeBodyName(isHtml, cutBodies.size()), isHtml ? "text/html" : "text/plain", body.text, &body});
        ++added;
    }
    for (const MailMessage &inner : message.forwarded)
        added += keepUncutBodies(inner, cutBodies);
    return added;
}

} // namespace tessaly
