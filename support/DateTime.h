// Calendar dates and clock times of moments, and the date form PDFs carry.
#pragma once

#include <chrono>
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

namespace tessaly {

/// A moment as the clock of one time zone shows it.
struct ZonedDateTime
{
    std::chrono::year_month_day date;
    std::chrono::weekday weekday;
    std::chrono::hh_mm_ss<std::chrono::seconds> time;
};

/// `utcSeconds` (since 1970-01-01 00:00 UTC) on a clock `offsetMinutes` east of UTC, in the
/// proleptic Gregorian calendar; moments before 1970 included.
ZonedDateTime zonedDateTime(std::int64_t utcSeconds, int offsetMinutes);

/// "D:YYYYMMDDHHmmSS+HH'mm'", the PDF date form, of `utcSeconds` on a clock `offsetMinutes`
/// east of UTC. A zero offset is written "+00'00'" like any other, not "Z".
std::string pdfDate(std::int64_t utcSeconds, int offsetMinutes);

/// The fields of `time` in the computer's time zone (localtime_r; localtime_s on Windows), or
/// nullopt when the system cannot convert it.
std::optional<std::tm> localTimeFields(std::time_t time);

} // namespace tessaly
