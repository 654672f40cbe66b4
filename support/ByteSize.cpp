#include "support/ByteSize.h"

#include <array>
#include <cmath>
#include <cstdio>

namespace tessaly {

std::optional<std::uint64_t> parseByteSize(std::string_view text)
{
    if (text.empty())
        return std::nullopt;
    double multiplier = 1;
    switch (text.back()) {
    case 'K':
    case 'k':
        multiplier = 1024.0;
        break;
    case 'M':
    case 'm':
        multiplier = 1024.0 * 1024;
        break;
    case 'G':
    case 'g':
        multiplier = 1024.0 * 1024 * 1024;
        break;
    default:
        break;
    }
    if (multiplier != 1)
        text.remove_suffix(1);

    double value = 0;
    bool digits = false;
    double scale = 0; // 0 before the decimal point
    for (char c : text) {
        if (c == '.' && scale == 0) {
            scale = 1;
            continue;
        }
        if (c < '0' || c > '9')
            return std::nullopt;
        digits = true;
        if (scale == 0) {
            value = value * 10 + (c - '0');
        } else {
            scale /= 10;
            value += (c - '0') * scale;
        }
    }
    const double bytes = std::floor(value * multiplier);
    if (!digits || bytes < 1 || bytes >= 1.8e19)
        return std::nullopt;
    return static_cast<std::uint64_t>(bytes);
}

namespace {

std::string withOneDecimal(double value)
{
    char text[48];
    std::snprintf(text, sizeof text, "%.1f", value);
    std::string result = text;
    if (result.size() > 2 && result.compare(result.size() - 2, 2, ".0") == 0)
        result.resize(result.size() - 2);
    return result;
}

} // namespace

std::string formatByteSize(std::uint64_t bytes)
{
    if (bytes == 1)
        return "1 byte";
    static constexpr std::array<const char *, 5> kUnits = {"bytes", "KB", "MB", "GB", "TB"};
    double value = static_cast<double>(bytes);
    std::size_t unit = 0;
    while (value >= 1024 && unit + 1 < kUnits.size()) {
        value /= 1024;
        ++unit;
    }
    return withOneDecimal(value) + " " + kUnits[unit];
}

std::string formatSeconds(double seconds)
{
    return withOneDecimal(seconds);
}

} // namespace tessaly
