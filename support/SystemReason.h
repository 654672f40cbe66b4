// The operating system's words for an error number, as error messages quote them.
#pragma once

#include <string>
#include <system_error>

namespace tessaly {

/// The system's text for `errorNumber` (an errno value): "No such file or directory".
inline std::string systemReason(int errorNumber)
{
    return std::generic_category().message(errorNumber);
}

} // namespace tessaly
