// Setting a file's modification time.
#pragma once

#include "support/Result.h"

#include <ctime>
#include <string>

namespace tessaly {

/// Sets the modification time of the file at `path` to `time` (seconds since the epoch).
Result<void> setFileModificationTime(const std::string &path, std::time_t time);

} // namespace tessaly
