#include "conversion/MessageFile.h"

#include "support/PathHelpers.h"
#include "support/PendingFile.h"

#include <filesystem>
#include <system_error>

namespace tessaly {

std::string messageFileName(int messageNumber)
{
    return "email-" + std::to_string(messageNumber) + ".eml";
}

Result<std::string> writeMessageFile(const std::string &folder, int messageNumber, std::string_view messageText)
{
    const std::string destination = joinPath(folder, messageFileName(messageNumber));
    auto pending = PendingFile::createIn(folder);
    if (!pending)
        return pending.error();
    if (auto written = pending.value().write(messageText); !written)
        return written.error();
    if (auto written = pending.value().write("\r\n"); !written)
        return written.error();
    return pending.value().commitAs(destination);
}

Result<void> removeMessageFile(const std::string &path)
{
    std::error_code error;
    std::filesystem::remove(toFsPath(path), error);
    if (error)
        return Error{"cannot delete '" + path + "': " + error.message()};
    return {};
}

} // namespace tessaly
