#include "support/FileNameRules.h"

#include "support/PathHelpers.h"
#include "support/Utf8.h"

#include <array>
#include <cctype>

namespace tessaly {

bool isBidiControl(char32_t c)
{
    return (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069) || c == 0x200E || c == 0x200F || c == 0x061C;
}

std::string withoutBidiControls(std::string_view utf8)
{
    std::string kept;
    kept.reserve(utf8.size());
    std::size_t position = 0;
    while (position < utf8.size()) {
        const std::size_t start = position;
        if (!isBidiControl(nextCodePoint(utf8, position)))
            kept.append(utf8.substr(start, position - start));
    }
    return kept;
}

bool isWindowsDeviceName(std::string_view name)
{
    std::string_view base = name.substr(0, name.find('.'));
    while (!base.empty() && base.back() == ' ')
        base.remove_suffix(1);
    static constexpr std::array<std::string_view, 6> kPlain = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    for (std::string_view device : kPlain) {
        if (equalsIgnoringAsciiCase(base, device))
            return true;
    }
    if (base.size() < 4)
        return false;
    const std::string_view prefix = base.substr(0, 3);
    if (!equalsIgnoringAsciiCase(prefix, "COM") && !equalsIgnoringAsciiCase(prefix, "LPT"))
        return false;
    const std::string_view digit = base.substr(3);
    return (digit.size() == 1 && std::isdigit(static_cast<unsigned char>(digit[0]))) || digit == "\u00B9" ||
           digit == "\u00B2" || digit == "\u00B3";
}

std::string numberedVariant(const std::string &path, int n)
{
    std::size_t nameStart = path.size();
    while (nameStart > 0 && !isPathSeparator(path[nameStart - 1]))
        --nameStart;
    std::size_t dot = path.rfind('.');
    if (dot == std::string::npos || dot <= nameStart)
        dot = path.size();
    return path.substr(0, dot) + " (" + std::to_string(n) + ")" + path.substr(dot);
}

} // namespace tessaly
