// Options of a command line that take a value.
#pragma once

#include "support/Result.h"

#include <cstddef>
#include <initializer_list>
#include <string_view>
#include <vector>

namespace tessaly {

struct OptionValue
{
    std::string_view name;
    std::string_view value;
};

/// The option at `arguments[index]`, written "--name value" or "--name=value", whose name is
/// one of `names`; `index` moves past its value when that is the next argument. An error,
/// worded for the user without the hint to --help, for another name or a missing value.
Result<OptionValue> readOptionValue(const std::vector<std::string_view> &arguments, std::size_t &index,
                                    std::initializer_list<std::string_view> names);

} // namespace tessaly
