#include "cli/OptionValue.h"

#include <algorithm>
#include <string>

namespace tessaly {

Result<OptionValue> readOptionValue(const std::vector<std::string_view> &arguments, std::size_t &index,
                                    std::initializer_list<std::string_view> names)
{
    const std::string_view argument = arguments[index];
    OptionValue option{argument, {}};
    const std::size_t equals = argument.find('=');
    if (equals != std::string_view::npos) {
        option.name = argument.substr(0, equals);
        option.value = argument.substr(equals + 1);
    }
    if (std::find(names.begin(), names.end(), option.name) == names.end())
        return Error{"unknown option '" + std::string(argument) + "'", FailureKind::UsageError};
    if (equals == std::string_view::npos) {
        if (index + 1 >= arguments.size())
            return Error{"option '" + std::string(option.name) + "' needs a value", FailureKind::UsageError};
        option.value = arguments[++index];
    }
    return option;
}

} // namespace tessaly
