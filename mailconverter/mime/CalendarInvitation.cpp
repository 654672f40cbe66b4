#include "mailconverter/mime/CalendarInvitation.h"

#include "mailconverter/mime/CharsetDecoding.h"
#include "support/Utf8.h"

#include <libical/ical.h>

#include <array>
#include <cstdio>
#include <memory>

namespace tessaly {

namespace {

struct ComponentFree
{
    void operator()(icalcomponent *component) const { icalcomponent_free(component); }
};
using ComponentPtr = std::unique_ptr<icalcomponent, ComponentFree>;

// Real calendars nest three deep (VCALENDAR, VEVENT, VALARM). libical frees and checks
// components recursively, so deeper nesting is refused before it can use up the stack.
constexpr int kMaxComponentDepth = 8;

constexpr std::array<std::string_view, 8> kWeekdays = {"",          "Sunday",   "Monday", "Tuesday",
                                                       "Wednesday", "Thursday", "Friday", "Saturday"};
constexpr std::array<std::string_view, 12> kMonths = {"January",   "February", "March",    "April",
                                                      "May",       "June",     "July",     "August",
                                                      "September", "October",  "November", "December"};
constexpr std::array<std::string_view, 6> kPositions = {"", "first", "second", "third", "fourth", "fifth"};

std::string text(const char *value)
{
    return value ? std::string(value) : std::string();
}

std::string dateWords(const icaltimetype &time)
{
    const int weekday = icaltime_day_of_week(time);
    if (time.month < 1 || time.month > 12 || weekday < 1 || weekday > 7)
        return std::to_string(time.year) + "-" + std::to_string(time.month) + "-" + std::to_string(time.day);
    return std::string(kWeekdays[static_cast<std::size_t>(weekday)]) + ", " + std::to_string(time.day) + " " +
           std::string(kMonths[static_cast<std::size_t>(time.month - 1)]) + " " + std::to_string(time.year);
}

// The zone as written: the TZID the property names (Outlook writes Windows zone names, which
// the reader knows better than any mapping of ours), UTC, or nothing for a floating time.
std::string timeWords(const icaltimetype &time, icalproperty *property)
{
    if (icaltime_is_date(time))
        return dateWords(time);
    char clock[8];
    std::snprintf(clock, sizeof clock, "%02d:%02d", time.hour % 100, time.minute % 100);
    std::string words = dateWords(time) + ", " + clock;
    if (icaltime_is_utc(time))
        return words + " UTC";
    if (icalparameter *zone = icalproperty_get_first_parameter(property, ICAL_TZID_PARAMETER)) {
        if (const char *tzid = icalparameter_get_tzid(zone); tzid && *tzid)
            words += " (" + std::string(tzid) + ")";
    }
    return words;
}

void readTimes(icalcomponent *event, CalendarEvent &shown)
{
    icalproperty *startProperty = icalcomponent_get_first_property(event, ICAL_DTSTART_PROPERTY);
    if (!startProperty)
        return;
    const icaltimetype start = icalproperty_get_dtstart(startProperty);
    shown.start = timeWords(start, startProperty);
    icaltimetype end = icaltime_null_time();
    icalproperty *endProperty = icalcomponent_get_first_property(event, ICAL_DTEND_PROPERTY);
    if (endProperty) {
        end = icalproperty_get_dtend(endProperty);
    } else if (icalproperty *duration = icalcomponent_get_first_property(event, ICAL_DURATION_PROPERTY)) {
        end = icaltime_add(start, icalproperty_get_duration(duration));
        endProperty = startProperty; // the end is in the start's zone
    }
    if (!endProperty || icaltime_is_null_time(end))
        return;
    // RFC 5545: an all-day event ends before its DTEND date; readers count its last day.
    if (icaltime_is_date(end))
        icaltime_adjust(&end, -1, 0, 0, 0);
    if (icaltime_is_date(end) && icaltime_compare_date_only(end, start) <= 0)
        return;
    shown.end = timeWords(end, endProperty);
}

bool isEmpty(const short *values)
{
    return values[0] == ICAL_RECURRENCE_ARRAY_MAX;
}

std::string joinedWords(const std::vector<std::string> &words)
{
    std::string joined;
    for (std::size_t i = 0; i < words.size(); ++i)
        joined += (i == 0 ? "" : i + 1 == words.size() ? " and " : ", ") + words[i];
    return joined;
}

// "Weekly on Monday", "Every 2 weeks on Monday and Thursday", "Monthly on the last Friday",
// "Monthly on day 15" and a count or an end; "" for anything else, which is shown as a rule.
std::string simpleRecurrenceWords(const icalrecurrencetype &rule)
{
    static constexpr std::array<std::string_view, 4> kEvery = {"day", "week", "month", "year"};
    static constexpr std::array<std::string_view, 4> kOnce = {"Daily", "Weekly", "Monthly", "Yearly"};
    if (rule.freq < ICAL_DAILY_RECURRENCE || rule.freq > ICAL_YEARLY_RECURRENCE || rule.rscale ||
        !isEmpty(rule.by_second) || !isEmpty(rule.by_minute) || !isEmpty(rule.by_hour) || !isEmpty(rule.by_year_day) ||
        !isEmpty(rule.by_week_no) || !isEmpty(rule.by_month) || !isEmpty(rule.by_set_pos) ||
        (!isEmpty(rule.by_month_day) && rule.freq != ICAL_MONTHLY_RECURRENCE))
        return {};
    const auto unit = static_cast<std::size_t>(rule.freq - ICAL_DAILY_RECURRENCE);
    std::string words = rule.interval > 1
                            ? "Every " + std::to_string(rule.interval) + " " + std::string(kEvery[unit]) + "s"
                            : std::string(kOnce[unit]);
    std::vector<std::string> days;
    bool positioned = false;
    for (std::size_t i = 0;
         i < static_cast<std::size_t>(ICAL_BY_DAY_SIZE) && rule.by_day[i] != ICAL_RECURRENCE_ARRAY_MAX; ++i) {
        const int weekday = icalrecurrencetype_day_day_of_week(rule.by_day[i]);
        const int position = icalrecurrencetype_day_position(rule.by_day[i]);
        if (weekday < 1 || weekday > 7 || position < -1 || position > 5)
            return {};
        positioned = positioned || position != 0;
        const std::string day(kWeekdays[static_cast<std::size_t>(weekday)]);
        days.push_back(position == 0 ? day
                       : position == -1
                           ? "the last " + day
                           : "the " + std::string(kPositions[static_cast<std::size_t>(position)]) + " " + day);
    }
    // "the second Tuesday" means something only in a month.
    if (positioned && (rule.freq != ICAL_MONTHLY_RECURRENCE || days.size() != 1))
        return {};
    if (!days.empty() && rule.freq != ICAL_WEEKLY_RECURRENCE && !positioned)
        return {};
    if (!days.empty())
        words += " on " + joinedWords(days);
    if (!isEmpty(rule.by_month_day)) {
        if (!days.empty() || rule.by_month_day[1] != ICAL_RECURRENCE_ARRAY_MAX || rule.by_month_day[0] < 1)
            return {};
        words += " on day " + std::to_string(rule.by_month_day[0]);
    }
    if (rule.count > 0)
        words += ", " + std::to_string(rule.count) + (rule.count == 1 ? " time" : " times");
    else if (!icaltime_is_null_time(rule.until))
        words += ", until " + dateWords(rule.until);
    return words;
}

std::string recurrenceWords(icalcomponent *event)
{
    icalproperty *property = icalcomponent_get_first_property(event, ICAL_RRULE_PROPERTY);
    if (!property)
        return {};
    const icalrecurrencetype rule = icalproperty_get_rrule(property);
    if (std::string words = simpleRecurrenceWords(rule); !words.empty())
        return words;
    char *written = icalproperty_get_value_as_string_r(property);
    std::string asWritten = text(written);
    icalmemory_free_buffer(written);
    return asWritten;
}

// "Name <address>" from a CAL-ADDRESS ("mailto:…") and its CN parameter.
std::string personWords(icalproperty *property, const char *calAddress)
{
    std::string address = text(calAddress);
    if (asciiLowercase(address.substr(0, 7)) == "mailto:")
        address.erase(0, 7);
    std::string name;
    if (icalparameter *cn = icalproperty_get_first_parameter(property, ICAL_CN_PARAMETER))
        name = text(icalparameter_get_cn(cn));
    if (name.size() >= 2 && name.front() == '"' && name.back() == '"')
        name = name.substr(1, name.size() - 2);
    if (name.empty() || name == address)
        return address;
    return address.empty() ? name : name + " <" + address + ">";
}

std::string roleWords(icalproperty *attendee)
{
    icalparameter *role = icalproperty_get_first_parameter(attendee, ICAL_ROLE_PARAMETER);
    switch (role ? icalparameter_get_role(role) : ICAL_ROLE_REQPARTICIPANT) {
    case ICAL_ROLE_CHAIR:
        return "chair";
    case ICAL_ROLE_OPTPARTICIPANT:
        return "optional";
    case ICAL_ROLE_NONPARTICIPANT:
        return "for information";
    default: // RFC 5545: REQ-PARTICIPANT is the default, and unknown roles count as it
        return "required";
    }
}

std::string answerWords(icalproperty *attendee)
{
    icalparameter *answer = icalproperty_get_first_parameter(attendee, ICAL_PARTSTAT_PARAMETER);
    switch (answer ? icalparameter_get_partstat(answer) : ICAL_PARTSTAT_NEEDSACTION) {
    case ICAL_PARTSTAT_ACCEPTED:
        return "accepted";
    case ICAL_PARTSTAT_DECLINED:
        return "declined";
    case ICAL_PARTSTAT_TENTATIVE:
        return "tentative";
    case ICAL_PARTSTAT_DELEGATED:
        return "delegated";
    case ICAL_PARTSTAT_COMPLETED:
        return "completed";
    case ICAL_PARTSTAT_INPROCESS:
        return "in process";
    default:
        return "not yet answered";
    }
}

CalendarEvent readEvent(icalcomponent *event)
{
    CalendarEvent shown;
    shown.summary = text(icalcomponent_get_summary(event));
    readTimes(event, shown);
    shown.recurrence = recurrenceWords(event);
    shown.location = text(icalcomponent_get_location(event));
    if (icalproperty *organizer = icalcomponent_get_first_property(event, ICAL_ORGANIZER_PROPERTY))
        shown.organizer = personWords(organizer, icalproperty_get_organizer(organizer));
    for (icalproperty *attendee = icalcomponent_get_first_property(event, ICAL_ATTENDEE_PROPERTY); attendee;
         attendee = icalcomponent_get_next_property(event, ICAL_ATTENDEE_PROPERTY))
        shown.attendees.push_back(
            {personWords(attendee, icalproperty_get_attendee(attendee)), roleWords(attendee), answerWords(attendee)});
    shown.description = normaliseLineEnds(text(icalcomponent_get_description(event)));
    shown.cancelled = icalcomponent_get_first_property(event, ICAL_STATUS_PROPERTY) &&
                      icalcomponent_get_status(event) == ICAL_STATUS_CANCELLED;
    return shown;
}

// RFC 5546 methods in words; a REQUEST with a sequence above 0 changes an earlier one.
std::string methodWords(icalcomponent *calendar, icalcomponent *firstEvent)
{
    if (!icalcomponent_get_first_property(calendar, ICAL_METHOD_PROPERTY))
        return "Calendar event";
    switch (icalcomponent_get_method(calendar)) {
    case ICAL_METHOD_PUBLISH:
        return "Calendar event";
    case ICAL_METHOD_REQUEST:
        return icalcomponent_get_first_property(firstEvent, ICAL_SEQUENCE_PROPERTY) &&
                       icalcomponent_get_sequence(firstEvent) > 0
                   ? "Updated invitation"
                   : "Invitation";
    case ICAL_METHOD_REPLY:
        return "Reply";
    case ICAL_METHOD_ADD:
        return "Added occurrences";
    case ICAL_METHOD_CANCEL:
        return "Cancellation";
    case ICAL_METHOD_REFRESH:
        return "Request for the latest version";
    case ICAL_METHOD_COUNTER:
        return "Counter-proposal";
    case ICAL_METHOD_DECLINECOUNTER:
        return "Counter-proposal declined";
    default:
        return "Calendar event";
    }
}

bool nestsTooDeep(std::string_view text)
{
    int depth = 0;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::string start = asciiLowercase(text.substr(at, 6));
        if (start == "begin:" && ++depth > kMaxComponentDepth)
            return true;
        if (start.starts_with("end:"))
            --depth;
        const std::size_t end = text.find('\n', at);
        if (end == std::string_view::npos)
            break;
        at = end + 1;
    }
    return false;
}

// The first VCALENDAR: the parser gives several top-level components under an XROOT.
icalcomponent *firstCalendar(icalcomponent *root)
{
    if (icalcomponent_isa(root) == ICAL_VCALENDAR_COMPONENT)
        return root;
    if (icalcomponent_isa(root) == ICAL_XROOT_COMPONENT)
        return icalcomponent_get_first_component(root, ICAL_VCALENDAR_COMPONENT);
    return nullptr;
}

} // namespace

std::optional<CalendarInvitation> readCalendarInvitation(std::string_view text)
{
    if (text.size() > kMaxCalendarBytes || text.find('\0') != std::string_view::npos || nestsTooDeep(text))
        return std::nullopt;
    // Bad input must give an error value here, never an abort.
    icalerror_set_errors_are_fatal(0);
    const std::string terminated(text);
    ComponentPtr root(icalparser_parse_string(terminated.c_str()));
    icalcomponent *calendar = root ? firstCalendar(root.get()) : nullptr;
    // A line libical cannot read becomes an X-LIC-ERROR in place of what it said.
    if (!calendar || icalcomponent_count_errors(root.get()) > 0)
        return std::nullopt;
    icalcomponent *firstEvent = icalcomponent_get_first_component(calendar, ICAL_VEVENT_COMPONENT);
    if (!firstEvent)
        return std::nullopt;
    CalendarInvitation invitation;
    invitation.method = methodWords(calendar, firstEvent);
    for (icalcomponent *event = firstEvent; event;
         event = icalcomponent_get_next_component(calendar, ICAL_VEVENT_COMPONENT)) {
        if (invitation.events.size() < kMaxCalendarEvents)
            invitation.events.push_back(readEvent(event));
        else
            ++invitation.eventsNotShown;
    }
    return invitation;
}

std::optional<BodyPart> calendarBodyPart(std::string_view bytes, const std::string &charset)
{
    std::string text = normaliseLineEnds(decodeToUtf8(bytes, charset.empty() ? std::string("utf-8") : charset));
    if (text.find_first_not_of(" \t\n") == std::string::npos)
        return std::nullopt;
    const BodyPart::Kind kind = readCalendarInvitation(text) ? BodyPart::Kind::Invitation : BodyPart::Kind::PlainText;
    return BodyPart{kind, std::move(text), charset};
}

} // namespace tessaly
