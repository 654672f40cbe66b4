// The operating system's words for an error number, as error messages quote them.
#pragma once

#include "support/Result.h"

#include <string>
#include <system_error>
#include <utility>

namespace tessaly {

/// The system's text for `errorNumber` (an errno value): "No such file or directory".
inline std::string systemReason(int errorNumber)
{
    return std::generic_category().message(errorNumber);
}

/// An error saying `what` followed by the system's text for `errorNumber`, of the kind that
/// number stands for (a full disk, a refused permission, a name taken), else of `otherwise`:
/// what failing at this step means (a read is unreadable, a write unwritable).
inline Error systemError(std::string what, int errorNumber, FailureKind otherwise)
{
    return Error{std::move(what) + systemReason(errorNumber), failureKindOfErrno(errorNumber).value_or(otherwise)};
}

} // namespace tessaly
