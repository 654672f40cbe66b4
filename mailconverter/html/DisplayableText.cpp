#include "mailconverter/html/DisplayableText.h"

#include "mailconverter/mime/AlternativeContent.h"

namespace tessaly {

bool hasDisplayableText(const MailMessage &message)
{
    for (const BodyPart &body : message.bodies) {
        if ((body.kind == BodyPart::Kind::PlainText || body.kind == BodyPart::Kind::Invitation) &&
            hasDisplayableContent(body.text, false))
            return true;
        if (body.kind == BodyPart::Kind::Html && htmlHasText(body.text))
            return true;
    }
    for (const MailMessage &inner : message.forwarded) {
        if (hasDisplayableText(inner))
            return true;
    }
    return false;
}

} // namespace tessaly
