#include "mailconverter/html/BodySizeLimit.h"

#include "support/ByteSize.h"
#include "support/Utf8.h"

namespace tessaly {

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
        std::string number;
        if (!cutBodies.empty())
            number.append(" ").append(std::to_string(cutBodies.size() + 1));
        const std::string wholeName =
            embeddedSourceName.empty() ? "message body" + number + (isHtml ? ".html" : ".txt") : embeddedSourceName;
        const std::string note = "[The rest of this body, " + formatByteSize(body.text.size() - cut) +
                                 ", is too long to show here. The whole " +
                                 (embeddedSourceName.empty() ? "text" : "message") + " is attached to this PDF as \"" +
                                 wholeName + "\".]";
        if (embeddedSourceName.empty())
            cutBodies.push_back({wholeName, isHtml ? "text/html" : "text/plain", body.text});
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

} // namespace tessaly
