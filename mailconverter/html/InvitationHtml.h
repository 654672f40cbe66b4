// The invitation block: what a calendar part says, drawn where the part stands.
#pragma once

#include "mailconverter/html/ScriptFonts.h"

#include <string>
#include <string_view>

namespace tessaly {

/// The block for a calendar body's `calendarText` (see readCalendarInvitation): per event a
/// title row of the method in words and the summary, then start, end, recurrence, location,
/// organizer, attendees with role and answer, and the description. Text that no longer reads
/// as a calendar (a body cut on the page) is drawn as plain text instead. Every value is
/// escaped. A table with inline styles, "tessaly-invitation-<index>" (unique on its page),
/// whose own rules win over any the message's style sheets set for tables and cells.
std::string invitationHtml(std::string_view calendarText, CjkLanguage cjk, int index);

} // namespace tessaly
