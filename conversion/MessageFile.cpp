#include "conversion/MessageFile.h"

#include "support/PendingFile.h"

namespace tessaly {
namespace {

constexpr std::string_view kLineEnd = "\r\n";

} // namespace

std::string messageFileName(int messageNumber)
{
    return "email-" + std::to_string(messageNumber) + ".eml";
}

Result<FileInFolder> writeMessageFile(const FolderHandle &folder, int messageNumber, std::string_view messageText)
{
    // A run killed while converting this message left its copy; taking it again lets the
    // conversion delete it, instead of leaving it to look like a message that failed.
    const std::string name = messageFileName(messageNumber);
    if (folder.holdsFile(name)) {
        Result<std::string> earlier = folder.read(name, messageText.size() + kLineEnd.size() + 1);
        if (earlier && earlier.value().size() == messageText.size() + kLineEnd.size() &&
            earlier.value().starts_with(messageText) && earlier.value().ends_with(kLineEnd))
            return FileInFolder{folder, name};
    }
    auto pending = PendingFile::createIn(folder);
    if (!pending)
        return pending.error();
    if (auto written = pending.value().write(messageText); !written)
        return written.error();
    if (auto written = pending.value().write(kLineEnd); !written)
        return written.error();
    // A working copy of a message the mailbox still holds: not worth a sync per message.
    Result<std::string> committed = pending.value().commitAs(name, Durability::Scratch);
    if (!committed)
        return committed.error();
    return FileInFolder{folder, std::move(committed).value()};
}

Result<void> removeMessageFile(const FileInFolder &file)
{
    return file.folder.remove(file.name);
}

} // namespace tessaly
