#include "conversion/OutputTree.h"

#include "support/PathHelpers.h"

#include <filesystem>
#include <system_error>

namespace tessaly {
namespace {

std::filesystem::path normalised(const std::string &path)
{
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(toFsPath(path), error);
    if (error)
        absolute = toFsPath(path);
    return absolute.lexically_normal();
}

} // namespace

Result<std::string> mailboxOutputFolder(const std::string &outputFolder, const std::string &mailboxPath)
{
    const std::string mailbox = fromFsPath(normalised(mailboxPath));
    const std::string below = pathWithoutRoot(mailbox);
    if (below.empty())
        return Error{"'" + mailboxPath + "' names no file below its root"};

    const std::string folder = joinPath(outputFolder, below);
    if (normalised(folder) == normalised(mailbox))
        return Error{"the output folder for this mailbox would be the mailbox file itself; choose another "
                     "output folder"};
    return folder;
}

} // namespace tessaly
