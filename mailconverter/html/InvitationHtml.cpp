#include "mailconverter/html/InvitationHtml.h"

#include "mailconverter/html/HtmlEscaping.h"
#include "mailconverter/html/PlainTextHtml.h"
#include "mailconverter/mime/CalendarInvitation.h"

#include <initializer_list>

namespace tessaly {

namespace {

// Escaped, with line breaks kept.
std::string textHtml(std::string_view text)
{
    std::string html;
    std::size_t pos = 0;
    while (pos <= text.size()) {
        const std::size_t end = std::min(text.find('\n', pos), text.size());
        html += (pos == 0 ? "" : "<br>") + escapeHtml(text.substr(pos, end - pos));
        pos = end + 1;
    }
    return html;
}

class InvitationBlock
{
public:
    explicit InvitationBlock(CjkLanguage cjk) : m_cjk(cjk) {}

    std::string html(const CalendarInvitation &invitation, int index) const;

private:
    std::string style(std::initializer_list<std::string_view> declarations) const;
    void addRow(std::string &html, std::string_view label, const std::string &valueHtml) const;
    void addEvent(std::string &html, const std::string &method, const CalendarEvent &event) const;
    CjkLanguage m_cjk;
};

// Every declaration is important: inline important declarations win over the message's
// important rules, and the block's own rule reverts everything else.
std::string InvitationBlock::style(std::initializer_list<std::string_view> declarations) const
{
    std::string css = " style=\"";
    for (std::string_view declaration : declarations)
        css += std::string(declaration) + "!important;";
    return css + "\"";
}

void InvitationBlock::addRow(std::string &html, std::string_view label, const std::string &valueHtml) const
{
    if (valueHtml.empty())
        return;
    html += "<tr><td width=\"16%\" valign=\"top\"" +
            style({"width:16%", "vertical-align:top", "padding:3pt 8pt 3pt 4pt", "font-weight:bold", "color:#555555",
                   "white-space:nowrap"}) +
            ">" + escapeHtml(label) + ":</td><td valign=\"top\"" +
            style({"vertical-align:top", "padding:3pt 4pt", "overflow-wrap:anywhere"}) + ">" + valueHtml +
            "</td></tr>\n";
}

void InvitationBlock::addEvent(std::string &html, const std::string &method, const CalendarEvent &event) const
{
    std::string title = method;
    if (!event.summary.empty())
        title += ": " + event.summary;
    if (event.cancelled && method != "Cancellation")
        title += " (cancelled)";
    html += "<tr><td colspan=\"2\"" + style({"padding:3pt 4pt 2pt 4pt", "font-weight:bold", "font-size:11pt"}) + ">" +
            textHtml(title) + "</td></tr>\n";
    addRow(html, "Start", escapeHtml(event.start));
    addRow(html, "End", escapeHtml(event.end));
    addRow(html, "Repeats", escapeHtml(event.recurrence));
    addRow(html, "Location", textHtml(event.location));
    addRow(html, "Organizer", escapeHtml(event.organizer));
    std::string attendees;
    for (const CalendarAttendee &attendee : event.attendees)
        attendees += (attendees.empty() ? "" : "<br>") + escapeHtml(attendee.who) + " <span" +
                     style({"color:#555555"}) + ">(" + escapeHtml(attendee.role) + ", " + escapeHtml(attendee.answer) +
                     ")</span>";
    addRow(html, "Attendees", attendees);
    addRow(html, "Description", textHtml(event.description));
}

std::string InvitationBlock::html(const CalendarInvitation &invitation, int index) const
{
    // By id, as the header block: a message's selectors cannot outweigh it without knowing it.
    const std::string selector = "#tessaly-invitation-" + std::to_string(index);
    std::string html = "<style>" + selector + "," + selector + " *{all:revert!important}</style>\n";
    const std::string id = " id=\"tessaly-invitation-" + std::to_string(index) + "\"";
    const std::string font = "font-family:" + cssFontFamilies(FontRole::Text, m_cjk);
    html += "<table" + id + " width=\"100%\" cellspacing=\"0\" cellpadding=\"3\" border=\"0\" bgcolor=\"#f4f7fb\"" +
            style({"width:100%", "box-sizing:border-box", "background-color:#f4f7fb", "border:1px solid #c5cedb",
                   "border-spacing:0", "margin:6pt 0 10pt 0", font, "font-size:9.5pt", "color:#1a1a1a",
                   "break-inside:avoid"}) +
            ">\n";
    for (const CalendarEvent &event : invitation.events)
        addEvent(html, invitation.method, event);
    if (invitation.eventsNotShown > 0)
        addRow(html, "More",
               std::to_string(invitation.eventsNotShown) + " more events, in the calendar file kept with this message");
    html += "</table>\n";
    return html;
}

} // namespace

std::string invitationHtml(std::string_view calendarText, CjkLanguage cjk, int index)
{
    const std::optional<CalendarInvitation> invitation = readCalendarInvitation(calendarText);
    if (!invitation)
        return "<div>" + plainTextToHtml(calendarText, true, cjk) + "</div>\n";
    return InvitationBlock(cjk).html(*invitation, index);
}

} // namespace tessaly
