#include "support/FileTime.h"

#include "support/PathHelpers.h"

#include <chrono>
#include <filesystem>
#include <system_error>

namespace tessaly {

Result<void> setFileModificationTime(const std::string &path, std::time_t time)
{
    const auto fileTime = std::chrono::file_clock::from_sys(std::chrono::system_clock::from_time_t(time));
    std::error_code error;
    std::filesystem::last_write_time(toFsPath(path), fileTime, error);
    if (error)
        return Error{"cannot set the time of '" + path + "': " + error.message()};
    return {};
}

} // namespace tessaly
