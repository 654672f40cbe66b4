// The header block's rows: which fields of a message are shown, and how much of each.
#pragma once

#include "mailconverter/html/HtmlComposer.h"
#include "mailconverter/mime/MailMessage.h"
#include "support/TextHelpers.h" // cutForDisplay, groupedNumber

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly {

/// How much of each field the header block shows. Only the page is capped: the message
/// file and the PDF's document info keep the whole values.
struct HeaderLimits
{
    std::size_t maxValueCharacters = 1000; ///< per value (and per address list, roughly)
    std::size_t maxAddresses = 50;         ///< per address field
    std::size_t maxAttachments = 50;
};

/// Tighter limits, for a header block that would not fit on its page otherwise.
inline constexpr HeaderLimits kTightHeaderLimits{200, 10, 10};

/// One row of the header block.
struct HeaderRow
{
    std::string label;     ///< "From", "To", …
    std::string valueHtml; ///< escaped, ready to embed
    bool isSubject = false;
};

/// Which markup the rows use: plain HTML (text, <br>, links and coloured spans, which the text
/// engine reads with runsOfValueHtml), or our own elements styled by the web page's header
/// style sheet.
enum class HeaderMarkup
{
    Simple,
    Web
};

/// The rows of `message`'s header block, in the order shown. Empty fields are left out.
/// A date not taken from the Date header says where it came from. Values are cut at the
/// limits, and the cut says how much is left out.
std::vector<HeaderRow> headerRows(const MailMessage &message, const std::vector<AttachmentListing> &listings,
                                  const HeaderLimits &limits, HeaderMarkup markup);

/// The attachment list of a forwarded message's header block: its own parts by their
/// declared names (or types), unlinked; only the outer message's attachments are saved or
/// embedded.
std::vector<AttachmentListing> forwardedMessageListings(const MailMessage &forwarded);

} // namespace tessaly
