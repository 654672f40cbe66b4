// A text/calendar part (RFC 5545, with the iTIP methods of RFC 5546) read into what an
// invitation block shows, in words.
#pragma once

#include "mailconverter/mime/MailMessage.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly {

/// A calendar larger than this is not parsed: it is shown as text and kept as a file.
inline constexpr std::size_t kMaxCalendarBytes = 2 * 1024 * 1024;
/// Events drawn from one calendar; the rest are in the kept file, and the block says how many.
inline constexpr std::size_t kMaxCalendarEvents = 20;
/// The name a text/calendar part is kept under when it declares none.
inline constexpr char kCalendarFileName[] = "invite.ics";

/// One attendee: who, and in words their role ("required", "optional", "chair", "for
/// information") and answer ("accepted", "declined", "tentative", "not yet answered" …).
struct CalendarAttendee
{
    std::string who; ///< "Name <address>", or either alone
    std::string role;
    std::string answer;
};

/// One VEVENT as the block shows it; fields the event lacks are "".
struct CalendarEvent
{
    std::string summary;
    /// e.g. "Monday, 12 January 2026, 10:00 (Europe/Berlin)", "… 09:00 UTC", or a date alone
    /// for an all-day event; the zone as written: its TZID, UTC, or none for a floating time.
    std::string start;
    std::string end; ///< likewise; for an all-day event, its last day; "" when it ends on its start day
    /// "Weekly on Monday, 10 times" where the rule is simple; otherwise the RRULE's text, its
    /// parts in libical's order.
    std::string recurrence;
    std::string location;
    std::string organizer; ///< "Name <address>"
    std::vector<CalendarAttendee> attendees;
    std::string description; ///< LF line ends
    bool cancelled = false;  ///< STATUS:CANCELLED
};

/// What a calendar part says, in words.
struct CalendarInvitation
{
    /// "Invitation", "Updated invitation", "Cancellation", "Reply", "Counter-proposal", …;
    /// "Calendar event" when the calendar names no method.
    std::string method;
    std::vector<CalendarEvent> events; ///< at most kMaxCalendarEvents
    std::size_t eventsNotShown = 0;    ///< events beyond kMaxCalendarEvents
};

/// Reads `text` (UTF-8) with libical. nullopt when it is no calendar we can show whole: larger
/// than kMaxCalendarBytes or nested deeper than calendars are, not a VCALENDAR, without a
/// VEVENT, or with a line libical could not
/// read (it would drop that line), so that the caller shows the text as it stands instead.
std::optional<CalendarInvitation> readCalendarInvitation(std::string_view text);

/// The body that shows a text/calendar part's decoded `bytes`, declared in `charset` (RFC 5545
/// says UTF-8 when none): an Invitation body when the calendar reads as one, else a plain text
/// body. nullopt when the part holds only white space.
std::optional<BodyPart> calendarBodyPart(std::string_view bytes, const std::string &charset);

} // namespace tessaly
