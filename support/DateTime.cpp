#include "support/DateTime.h"

#include <cstdio>
#include <cstdlib>

namespace tessaly {

ZonedDateTime zonedDateTime(std::int64_t utcSeconds, int offsetMinutes)
{
    using namespace std::chrono;
    const sys_seconds onTheClock{seconds{utcSeconds + std::int64_t{offsetMinutes} * 60}};
    const sys_days day = floor<days>(onTheClock);
    return {year_month_day{day}, weekday{day}, hh_mm_ss<seconds>{onTheClock - day}};
}

std::string pdfDate(std::int64_t utcSeconds, int offsetMinutes)
{
    const ZonedDateTime local = zonedDateTime(utcSeconds, offsetMinutes);
    const int offset = std::abs(offsetMinutes);
    char text[64];
    std::snprintf(text, sizeof text, "D:%04d%02u%02u%02d%02d%02d%c%02d'%02d'", static_cast<int>(local.date.year()),
                  static_cast<unsigned>(local.date.month()), static_cast<unsigned>(local.date.day()),
                  static_cast<int>(local.time.hours().count()), static_cast<int>(local.time.minutes().count()),
                  static_cast<int>(local.time.seconds().count()), offsetMinutes < 0 ? '-' : '+', offset / 60,
                  offset % 60);
    return text;
}

std::optional<std::tm> localTimeFields(std::time_t time)
{
    std::tm fields{};
#ifdef _WIN32
    if (localtime_s(&fields, &time) != 0)
        return std::nullopt;
#else
    if (!localtime_r(&time, &fields))
        return std::nullopt;
#endif
    return fields;
}

} // namespace tessaly
