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

/// What is left of the page for the bodies still to come.
struct PageRoom
{
    std::size_t bytes = kMaxPageBytes;
    std::size_t lines = kMaxPageLines;
};

/// Where the text must end to keep within `room`: its size when it fits.
std::size_t fittingLength(const std::string &text, const PageRoom &room)
{
    std::size_t limit = std::min({text.size(), kMaxBodyBytes, room.bytes});
    std::size_t lines = 0;
    for (std::size_t at = text.find('\n'); at != std::string::npos && at < limit; at = text.find('\n', at + 1)) {
        if (++lines > room.lines)
            return at;
    }
    return limit;
}

/// Where to cut `text` at or before `limit`: after a line end in the last half, else at a
/// character boundary.
std::size_t cutPosition(const std::string &text, std::size_t limit)
{
    if (limit == 0)
        return 0;
    std::size_t cut = text.rfind('\n', limit);
    if (cut == std::string::npos || cut < limit / 2)
        cut = limit;
    return characterBoundaryAtOrBefore(text, cut);
}

/// Bodies that did not fit on the page at all, told of in one warning.
struct UnshownBodies
{
    int count = 0;
    std::string firstName;
    std::string lastName;
};

void limitBodies(MailMessage &message, const std::string &embeddedSourceName, std::vector<CutBody> &cutBodies,
                 std::vector<std::string> &warnings, PageRoom &room, UnshownBodies &unshown)
{
    for (BodyPart &body : message.bodies) {
        if (body.kind == BodyPart::Kind::Image)
            continue;
        const std::size_t fits = fittingLength(body.text, room);
        if (fits == body.text.size()) {
            room.bytes -= fits;
            room.lines -= static_cast<std::size_t>(std::count(body.text.begin(), body.text.end(), '\n'));
            continue;
        }
        const std::size_t cut = cutPosition(body.text, fits);
        // Cut for the page's sake, not the body's own length: the page is full.
        if (fits < kMaxBodyBytes)
            room = PageRoom{0, 0};
        else
            room.bytes -= cut;
        const bool isHtml = body.kind == BodyPart::Kind::Html;
        const std::string wholeName =
            embeddedSourceName.empty() ? wholeBodyName(isHtml, cutBodies.size()) : embeddedSourceName;
        const std::string what = cut == 0 ? "This body, " : "The rest of this body, ";
        const std::string note =
            "[" + what + formatByteSize(body.text.size() - cut) + ", is too long to show here. The whole " +
            (embeddedSourceName.empty() ? "text" : "message") + " is attached to this PDF as \"" + wholeName + "\".]";
        if (embeddedSourceName.empty())
            cutBodies.push_back({wholeName, isHtml ? "text/html" : "text/plain", body.text, &body});
        body.text.resize(cut);
        body.text += isHtml ? "<p>" + note + "</p>" : (cut == 0 ? "" : "\n\n") + note + "\n";
        if (cut == 0) {
            if (unshown.count++ == 0)
                unshown.firstName = wholeName;
            unshown.lastName = wholeName;
            continue;
        }
        warnings.push_back("a body was cut to " + formatByteSize(cut) +
                           " on the page; its whole text is "
                           "embedded in the PDF as '" +
                           wholeName + "'");
    }
    for (MailMessage &inner : message.forwarded)
        limitBodies(inner, embeddedSourceName, cutBodies, warnings, room, unshown);
}

} // namespace

void limitBodySizes(MailMessage &message, const std::string &embeddedSourceName, std::vector<CutBody> &cutBodies,
                    std::vector<std::string> &warnings)
{
    PageRoom room;
    UnshownBodies unshown;
    limitBodies(message, embeddedSourceName, cutBodies, warnings, room, unshown);
    if (unshown.count == 0)
        return;
    const bool several = unshown.count > 1;
    std::string what;
    if (!embeddedSourceName.empty())
        what = "the whole message is embedded in the PDF as '" + embeddedSourceName + "'";
    else if (several)
        what = "their whole texts are embedded in the PDF as '" + unshown.firstName + "' to '" + unshown.lastName + "'";
    else
        what = "its whole text is embedded in the PDF as '" + unshown.firstName + "'";
    warnings.push_back(std::to_string(unshown.count) + (several ? " bodies" : " body") + " did not fit on the page; " +
                       what);
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
