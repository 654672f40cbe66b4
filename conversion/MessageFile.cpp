#include "conversion/MessageFile.h"

#include "support/PendingFile.h"

namespace tessaly {

std::string messageFileName(int messageNumber)
{
    return "email-" + std::to_string(messageNumber) + ".eml";
}

Result<FileInFolder> writeMessageFile(const FolderHandle &folder, int messageNumber, std::string_view messageText)
{
    auto pending = PendingFile::createIn(folder);
    if (!pending)
        return pending.error();
    if (auto written = pending.value().write(messageText); !written)
        return written.error();
    if (auto written = pending.value().write("\r\n"); !written)
        return written.error();
    Result<std::string> name = pending.value().commitAs(messageFileName(messageNumber));
    if (!name)
        return name.error();
    return FileInFolder{folder, std::move(name).value()};
}

Result<void> removeMessageFile(const FileInFolder &file)
{
    return file.folder.remove(file.name);
}

} // namespace tessaly
