#include "conversion/PdfNaming.h"

#include "support/FileNameRules.h"
#include "support/PathHelpers.h"
#include "support/TextHelpers.h"
#include "support/Utf8.h"

#include <cstdio>

namespace tessaly {

namespace {

enum class DatePattern
{
    DayMonthYear,
    YearMonthDay,
    MonthDayYear
};

std::string formatDate(const std::optional<MessageDateTime> &date, DatePattern pattern)
{
    const int year = date ? date->year : 0;
    const int month = date ? date->month : 0;
    const int day = date ? date->day : 0;
    char text[32];
    switch (pattern) {
    case DatePattern::DayMonthYear:
        std::snprintf(text, sizeof text, "%02d-%02d-%04d", day, month, year);
        break;
    case DatePattern::YearMonthDay:
        std::snprintf(text, sizeof text, "%04d-%02d-%02d", year, month, day);
        break;
    case DatePattern::MonthDayYear:
        std::snprintf(text, sizeof text, "%02d-%02d-%04d", month, day, year);
        break;
    }
    return text;
}

/// The first `count` characters of UTF-8 `text`.
std::string firstCharacters(const std::string &text, std::size_t count)
{
    return text.substr(0, byteLengthOfCharacters(text, count));
}

bool isForbidden(char c)
{
    const auto code = static_cast<unsigned char>(c);
    if (code < 32)
        return true;
    switch (c) {
    case ':':
    case '?':
    case '\\':
    case '/':
    case '*':
    case '"':
    case '<':
    case '>':
    case '|':
        return true;
    default:
        return false;
    }
}

bool isWhiteSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

/// One value of a name: white space runs as one blank, forbidden and bidi characters gone,
/// no blank at either end.
std::string cleanedPart(const std::string &value)
{
    std::string part;
    part.reserve(value.size());
    bool pendingBlank = false;
    for (char c : value) {
        if (isWhiteSpace(c)) {
            pendingBlank = !part.empty();
            continue;
        }
        if (isForbidden(c))
            continue;
        if (pendingBlank)
            part.push_back(' ');
        pendingBlank = false;
        part.push_back(c);
    }
    return withoutBidiControls(part);
}

std::string orDefault(std::string part, const char *fallback)
{
    return part.empty() ? std::string(fallback) : part;
}

/// Leading dots would hide the file; Windows refuses trailing dots and blanks.
std::string withoutEdgeDotsAndBlanks(const std::string &name)
{
    const std::size_t first = name.find_first_not_of(". ");
    if (first == std::string::npos)
        return {};
    return name.substr(first, name.find_last_not_of(". ") - first + 1);
}

bool usesSender(NamingOption option)
{
    return option != NamingOption::OptOriginal && option != NamingOption::OptSD;
}

bool usesDate(NamingOption option)
{
    return option != NamingOption::OptOriginal;
}

std::string composeRawName(NamingOption option, const std::string &subject, const std::string &from,
                           const std::optional<MessageDateTime> &date)
{
    switch (option) {
    case NamingOption::OptOriginal:
        return subject;
    case NamingOption::OptSD:
        return subject + " " + formatDate(date, DatePattern::DayMonthYear);
    case NamingOption::OptFSD:
        return from + " " + subject + " " + formatDate(date, DatePattern::DayMonthYear);
    case NamingOption::OptFSD_YMD:
        return from + " " + subject + " " + formatDate(date, DatePattern::YearMonthDay);
    case NamingOption::OptDFS:
        return formatDate(date, DatePattern::DayMonthYear) + " " + from + " " + subject;
    case NamingOption::OptDFS_YMD:
        return formatDate(date, DatePattern::YearMonthDay) + " " +
               firstCharacters(subject + " " + from, kSubjectAndSenderCharacters);
    case NamingOption::OptDFS_YMD2:
        return formatDate(date, DatePattern::YearMonthDay) + " " + from + " " + subject;
    case NamingOption::OptDFS_MYD:
        return formatDate(date, DatePattern::MonthDayYear) + " " + subject + " " + from;
    }
    return subject;
}

} // namespace

std::string composePdfName(NamingOption option, const std::string &subject, const std::string &from,
                           const std::optional<MessageDateTime> &date)
{
    const std::string name = composeRawName(option, orDefault(cleanedPart(subject), kNoSubjectName),
                                            orDefault(cleanedPart(from), kUnknownSenderName), date);
    const auto capped = [](const std::string &text) {
        return withoutEdgeDotsAndBlanks(
            std::string(firstBytes(firstCharacters(text, kMaxNameCharacters), kMaxNameBytes)));
    };
    std::string stem = capped(name);
    if (stem.empty())
        stem = kNoSubjectName;
    if (isWindowsDeviceName(stem))
        stem = capped("_" + stem);
    return stem + ".pdf";
}

std::string MakePDFPath(MessageReader &reader, std::string_view message, NamingOption option,
                        const std::string &mailboxFolder)
{
    // The result is not needed: a reader that cannot load reports empty values.
    reader.LoadMessage(message);
    const std::string subject = reader.Subject();
    const std::string from = usesSender(option) ? reader.From() : std::string();
    const std::optional<MessageDateTime> date = usesDate(option) ? reader.Date() : std::nullopt;
    return joinPath(mailboxFolder, composePdfName(option, subject, from, date));
}

} // namespace tessaly
