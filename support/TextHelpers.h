// Small text helpers shared by the run and the naming step.
#pragma once

#include <string>
#include <string_view>

namespace tessaly {

/// `text` without leading and trailing blanks (spaces only; tabs and the rest stay).
std::string trimBlanks(std::string_view text);

} // namespace tessaly
