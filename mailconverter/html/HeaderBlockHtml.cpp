#include "mailconverter/html/HeaderBlockHtml.h"

#include "mailconverter/html/HtmlEscaping.h"
#include "mailconverter/mime/ReplyAddresses.h"
#include "support/ByteSize.h"
#include "support/Utf8.h"

namespace tessaly {
namespace {

std::string cutEscaped(std::string_view text, const HeaderLimits &limits)
{
    return escapeHtml(cutForDisplay(text, limits.maxValueCharacters));
}

/// The subject as the page shows it. One cut before it was parsed was read only in part, so its
/// note gives the whole field's size rather than a count of what was read.
std::string subjectText(const MailMessage &message, const HeaderLimits &limits)
{
    for (const CutHeaderField &cut : message.cutHeaderFields) {
        if (equalsIgnoringAsciiCase(cut.name, "Subject")) {
            const std::string_view subject = message.subject;
            return escapeHtml(
                std::string(subject.substr(0, byteLengthOfCharacters(subject, limits.maxValueCharacters))) +
                " [… cut: " + formatByteSize(cut.bytes) + " in all]");
        }
    }
    return cutEscaped(message.subject, limits);
}

std::string moreNote(std::size_t leftOut)
{
    return "and " + groupedNumber(leftOut) + " more";
}

// In web markup each name is isolated, so that an Arabic or Hebrew name cannot reorder the
// addresses around it. The list stops at maxAddresses, or once it is about maxValueCharacters
// long, and says how many addresses follow.
std::string formatAddresses(const std::vector<MailAddress> &addresses, const HeaderLimits &limits, HeaderMarkup markup)
{
    std::string out;
    std::size_t shown = 0;
    std::size_t length = 0;
    std::size_t index = 0;
    for (; index < addresses.size(); ++index) {
        const MailAddress &address = addresses[index];
        if (address.name.empty() && address.address.empty())
            continue;
        if (shown == limits.maxAddresses || (shown > 0 && length >= limits.maxValueCharacters))
            break;
        if (!out.empty())
            out += ", ";
        ++shown;
        length += address.name.size() + address.address.size();
        if (address.name.empty()) {
            out += cutEscaped(address.address, limits);
            continue;
        }
        const std::string name = cutEscaped(address.name, limits);
        out += markup == HeaderMarkup::Simple ? name : "<tessaly-name dir=\"auto\">" + name + "</tessaly-name>";
        if (!address.address.empty())
            out += " &lt;" + cutEscaped(address.address, limits) + "&gt;";
    }
    std::size_t leftOut = 0;
    for (; index < addresses.size(); ++index) {
        if (!addresses[index].name.empty() || !addresses[index].address.empty())
            ++leftOut;
    }
    if (leftOut > 0) {
        out += ' ';
        out += moreNote(leftOut);
    }
    return out;
}

std::string formatAttachments(const std::vector<AttachmentListing> &listings, const HeaderLimits &limits,
                              HeaderMarkup markup)
{
    const bool simple = markup == HeaderMarkup::Simple;
    std::string items;
    const std::size_t shown = std::min(listings.size(), limits.maxAttachments);
    for (std::size_t i = 0; i < shown; ++i) {
        const AttachmentListing &listing = listings[i];
        if (i > 0 && simple)
            items += "<br>";
        std::string name = cutEscaped(listing.displayName, limits);
        if (!listing.href.empty())
            name = "<a href=\"" + escapeHtml(listing.href) + "\">" + name + "</a>";
        const std::string mark = listing.embedded ? "\U0001F4CE " : "";
        const std::string size = " (" + formatByteSize(listing.size) + ")";
        if (simple)
            items += mark + name + "<span style=\"color:#666666\">" + size + "</span>";
        else
            items += "<tessaly-attachment dir=\"auto\">" +
                     (mark.empty() ? std::string() : "<tessaly-mark>" + mark + "</tessaly-mark>") + name +
                     "<tessaly-size>" + size + "</tessaly-size></tessaly-attachment>";
    }
    if (listings.size() > shown)
        items += std::string(simple ? "<br>" : " ") + moreNote(listings.size() - shown);
    return items;
}

std::string dateSourceNote(MailMessage::DateSource source)
{
    switch (source) {
    case MailMessage::DateSource::Envelope:
        return " (no Date header; the date of the mailbox's From line)";
    case MailMessage::DateSource::Received:
        return " (no Date header; the date of the newest Received header)";
    case MailMessage::DateSource::Header:
        break;
    }
    return {};
}

} // namespace

std::vector<HeaderRow> headerRows(const MailMessage &message, const std::vector<AttachmentListing> &listings,
                                  const HeaderLimits &limits, HeaderMarkup markup)
{
    std::vector<HeaderRow> rows;
    auto addAddresses = [&](const char *label, const std::vector<MailAddress> &addresses) {
        std::string value = formatAddresses(addresses, limits, markup);
        if (!value.empty())
            rows.push_back({label, std::move(value)});
    };
    addAddresses("From", message.from);
    addAddresses("Reply-To", shownReplyTo(message));
    addAddresses("To", message.to);
    addAddresses("Cc", message.cc);
    addAddresses("Bcc", message.bcc);
    if (message.date)
        rows.push_back({"Date", escapeHtml(formatHeaderDate(*message.date) + dateSourceNote(message.dateSource))});
    if (!message.subject.empty())
        rows.push_back({"Subject", subjectText(message, limits), true});
    if (!message.signatureNote.empty())
        rows.push_back({"Signature", cutEscaped(message.signatureNote, limits)});
    if (!listings.empty())
        rows.push_back({"Attachments", formatAttachments(listings, limits, markup)});
    if (!message.imagesNotDrawn.empty())
        rows.push_back({"Not drawn", cutEscaped(message.imagesNotDrawn, limits)});
    return rows;
}

std::vector<AttachmentListing> forwardedMessageListings(const MailMessage &forwarded)
{
    std::vector<AttachmentListing> listings;
    for (const AttachmentPart &attachment : forwarded.attachments) {
        AttachmentListing listing;
        listing.displayName = attachment.declaredName.empty() ? attachment.mimeType : attachment.declaredName;
        listing.size = attachment.bytes.size();
        listings.push_back(std::move(listing));
    }
    return listings;
}

} // namespace tessaly
