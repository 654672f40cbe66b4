// Small text helpers shared by the run and the naming step.
#include "TextHelpers.h"

namespace tessaly {

std::string trimBlanks(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return {};
    return std::string(text.substr(first, text.find_last_not_of(' ') - first + 1));
}

} // namespace tessaly
