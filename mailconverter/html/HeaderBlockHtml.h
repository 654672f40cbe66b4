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

/// Which markup the rows use: plain HTML that QTextDocument understands, or our own
/// elements styled by the web page's header style sheet.
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

/// The header block as a small HTML document of its own, for QTextDocument: a two-column
/// table with no box (the box is drawn around it). "" when there is no row to show.
std::string composeHeaderBlockHtml(const MailMessage &message, const std::vector<AttachmentListing> &listings,
                                   const HeaderLimits &limits);

/// The same header block as a page of its own for Chromium, `widthPoints` × `heightPoints`
/// with its box filling it: for text that Qt's PDF writer would not give back as typed.
std::string composeHeaderBlockWebPage(const MailMessage &message, const std::vector<AttachmentListing> &listings,
                                      const HeaderLimits &limits, double widthPoints, double heightPoints);

} // namespace tessaly
