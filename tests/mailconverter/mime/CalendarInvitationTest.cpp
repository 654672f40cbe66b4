#include "mailconverter/mime/CalendarInvitation.h"

#include <gtest/gtest.h>

#include <string>

using namespace tessaly;

namespace {

/// A calendar of one event with `eventLines` (each ending in "\n") and METHOD `method` ("" for none).
std::string calendar(std::string_view method, std::string_view eventLines)
{
    std::string text = "BEGIN:VCALENDAR\nVERSION:2.0\nPRODID:-//t//t//EN\n";
    if (!method.empty())
        text += "METHOD:" + std::string(method) + "\n";
    return text + "BEGIN:VEVENT\nUID:1@example.com\nDTSTAMP:20260101T000000Z\n" + std::string(eventLines) +
           "END:VEVENT\nEND:VCALENDAR\n";
}

CalendarEvent onlyEvent(std::string_view method, std::string_view eventLines)
{
    const std::optional<CalendarInvitation> invitation = readCalendarInvitation(calendar(method, eventLines));
    EXPECT_TRUE(invitation && invitation->events.size() == 1) << eventLines;
    return invitation && !invitation->events.empty() ? invitation->events[0] : CalendarEvent{};
}

} // namespace

TEST(CalendarInvitation, MethodsAreNamedInWords)
{
    const struct
    {
        const char *method;
        const char *eventLines;
        const char *words;
    } cases[] = {
        {"REQUEST", "", "Invitation"},       {"REQUEST", "SEQUENCE:2\n", "Updated invitation"},
        {"CANCEL", "", "Cancellation"},      {"REPLY", "", "Reply"},
        {"COUNTER", "", "Counter-proposal"}, {"PUBLISH", "", "Calendar event"},
        {"", "", "Calendar event"},
    };
    for (const auto &row : cases) {
        const std::optional<CalendarInvitation> invitation =
            readCalendarInvitation(calendar(row.method, std::string("SUMMARY:x\n") + row.eventLines));
        ASSERT_TRUE(invitation) << row.method;
        EXPECT_EQ(invitation->method, row.words) << row.method;
    }
}

TEST(CalendarInvitation, TimesKeepTheZoneAsWrittenAndAllDayEventsEndOnTheirLastDay)
{
    const struct
    {
        const char *eventLines;
        const char *start;
        const char *end;
    } cases[] = {
        {"DTSTART;TZID=Europe/Oslo:20260112T100000\nDTEND;TZID=Europe/Oslo:20260112T113000\n",
         "Monday, 12 January 2026, 10:00 (Europe/Oslo)", "Monday, 12 January 2026, 11:30 (Europe/Oslo)"},
        {"DTSTART:20260112T090000Z\nDURATION:PT45M\n", "Monday, 12 January 2026, 09:00 UTC",
         "Monday, 12 January 2026, 09:45 UTC"},
        {"DTSTART:20260112T090000\n", "Monday, 12 January 2026, 09:00", ""},
        // DTEND of an all-day event is the day after its last.
        {"DTSTART;VALUE=DATE:20260112\nDTEND;VALUE=DATE:20260113\n", "Monday, 12 January 2026", ""},
        {"DTSTART;VALUE=DATE:20260112\nDTEND;VALUE=DATE:20260115\n", "Monday, 12 January 2026",
         "Wednesday, 14 January 2026"},
    };
    for (const auto &row : cases) {
        const CalendarEvent event = onlyEvent("REQUEST", row.eventLines);
        EXPECT_EQ(event.start, row.start) << row.eventLines;
        EXPECT_EQ(event.end, row.end) << row.eventLines;
    }
}

TEST(CalendarInvitation, SimpleRecurrenceIsInWordsAndOtherRulesAsWritten)
{
    const struct
    {
        const char *rule;
        const char *words;
    } cases[] = {
        {"FREQ=WEEKLY;BYDAY=MO;COUNT=10", "Weekly on Monday, 10 times"},
        {"FREQ=WEEKLY;INTERVAL=2;BYDAY=MO,WE,FR", "Every 2 weeks on Monday, Wednesday and Friday"},
        {"FREQ=DAILY;UNTIL=20260630T000000Z", "Daily, until Tuesday, 30 June 2026"},
        {"FREQ=MONTHLY;BYDAY=-1FR", "Monthly on the last Friday"},
        {"FREQ=MONTHLY;BYDAY=2TU;COUNT=1", "Monthly on the second Tuesday, 1 time"},
        {"FREQ=MONTHLY;BYMONTHDAY=15", "Monthly on day 15"},
        {"FREQ=YEARLY", "Yearly"},
        {"FREQ=YEARLY;BYMONTH=3;BYDAY=-1SU", "FREQ=YEARLY;BYDAY=-1SU;BYMONTH=3"},
        {"FREQ=MONTHLY;BYDAY=MO,TU;BYSETPOS=1", "FREQ=MONTHLY;BYDAY=MO,TU;BYSETPOS=1"},
    };
    for (const auto &row : cases) {
        const CalendarEvent event =
            onlyEvent("REQUEST", std::string("DTSTART:20260112T090000Z\nRRULE:") + row.rule + "\n");
        EXPECT_EQ(event.recurrence, row.words) << row.rule;
    }
}

TEST(CalendarInvitation, PeopleComeWithTheirRoleAndAnswer)
{
    const CalendarEvent event =
        onlyEvent("REQUEST", "ORGANIZER;CN=\"Nora Vik\":MAILTO:nora@example.com\n"
                             "ATTENDEE;CN=Per Holm;ROLE=CHAIR;PARTSTAT=ACCEPTED:mailto:per@example.com\n"
                             "ATTENDEE;ROLE=OPT-PARTICIPANT;PARTSTAT=TENTATIVE:mailto:liv@example.com\n"
                             "ATTENDEE;PARTSTAT=DECLINED:mailto:ola@example.com\n"
                             "ATTENDEE;ROLE=NON-PARTICIPANT:mailto:info@example.com\n"
                             "LOCATION:Room 4\\, east\nDESCRIPTION:line one\\nline two\n");
    EXPECT_EQ(event.organizer, "Nora Vik <nora@example.com>");
    ASSERT_EQ(event.attendees.size(), 4u);
    const std::vector<std::vector<std::string>> expected = {
        {"Per Holm <per@example.com>", "chair", "accepted"},
        {"liv@example.com", "optional", "tentative"},
        {"ola@example.com", "required", "declined"},
        {"info@example.com", "for information", "not yet answered"}};
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(
            (std::vector<std::string>{event.attendees[i].who, event.attendees[i].role, event.attendees[i].answer}),
            expected[i]);
    EXPECT_EQ(event.location, "Room 4, east");
    EXPECT_EQ(event.description, "line one\nline two");
}

TEST(CalendarInvitation, MalformedOrOversizedCalendarsAreLeftToBeShownAsText)
{
    const std::string oversized = calendar("REQUEST", "DESCRIPTION:" + std::string(kMaxCalendarBytes, 'x') + "\n");
    // libical reads and frees nested components recursively: deep nesting would use up the stack.
    std::string opened, closed;
    for (int i = 0; i < 60000; ++i) {
        opened += "BEGIN:VALARM\n";
        closed += "END:VALARM\n";
    }
    for (const std::string &text :
         {std::string("BEGIN:VCALENDAR\nEND:VCALENDAR\n"), std::string("not a calendar at all"),
          calendar("REQUEST", "DTSTART:not a time\nSUMMARY:kept\n"), std::string("BEGIN:VCALENDAR\nBEGIN:VEVENT\n"),
          oversized, calendar("REQUEST", opened + closed)})
        EXPECT_FALSE(readCalendarInvitation(text)) << text.substr(0, 80);

    // What does not read as an invitation is still shown, as its text.
    const std::optional<BodyPart> broken = calendarBodyPart("BEGIN:VCALENDAR\r\nBROKEN", "");
    ASSERT_TRUE(broken);
    EXPECT_EQ(broken->kind, BodyPart::Kind::PlainText);
    EXPECT_EQ(broken->text, "BEGIN:VCALENDAR\nBROKEN");
    EXPECT_FALSE(calendarBodyPart(" \r\n", ""));
}
