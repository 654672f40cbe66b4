#include "conversion/MessageFile.h"

#include "support/PendingFile.h"

namespace tessaly {
namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::size_t kCompareBytes = std::size_t{1} << 20;

/// Whether the file `name` in `folder` holds exactly the bytes of `file`, compared in chunks.
bool holdsSameBytes(const FolderHandle &folder, const std::string &name, const OpenFile &file)
{
    Result<OpenFile> earlier = folder.openForReading(name);
    Result<std::uint64_t> size = file.size();
    if (!earlier || !size)
        return false;
    Result<std::uint64_t> earlierSize = earlier.value().size();
    if (!earlierSize || earlierSize.value() != size.value())
        return false;
    std::string ours(kCompareBytes, '\0');
    std::string theirs(kCompareBytes, '\0');
    for (std::uint64_t offset = 0; offset < size.value(); offset += kCompareBytes) {
        Result<std::size_t> readOurs = file.readAt(offset, ours.data(), kCompareBytes);
        Result<std::size_t> readTheirs = earlier.value().readAt(offset, theirs.data(), kCompareBytes);
        if (!readOurs || !readTheirs || readOurs.value() != readTheirs.value() || readOurs.value() == 0 ||
            std::string_view(ours).substr(0, readOurs.value()) != std::string_view(theirs).substr(0, readOurs.value()))
            return false;
    }
    return true;
}

/// `pending` lies in `folder`.
Result<FileInFolder> commitMessageFile(PendingFile &pending, const FolderHandle &folder, std::string_view name)
{
    // A working copy of a message the mailbox still holds: not worth a sync per message.
    Result<std::string> committed = pending.commitAs(name, Durability::Scratch);
    if (!committed)
        return committed.error();
    return FileInFolder{folder, std::move(committed).value()};
}

} // namespace

std::string messageFileName(int messageNumber)
{
    return "email-" + std::to_string(messageNumber) + ".eml";
}

Result<FileInFolder> writeMessageFile(const FolderHandle &folder, int messageNumber, const SplitMessage &message)
{
    if (message.textError)
        return *message.textError;
    const std::string name = messageFileName(messageNumber);
    if (message.textFile) {
        PendingFile &pending = *message.textFile;
        if (auto written = pending.write(kLineEnd); !written)
            return written.error();
        // Only a plain file is read: a link or anything else at the name is never taken.
        if (holdsSameBytes(folder, name, *pending.file()))
            return FileInFolder{folder, name};
        return commitMessageFile(pending, folder, name);
    }
    // A run killed while converting this message left its copy; taking it again lets the
    // conversion delete it, instead of leaving it to look like a message that failed.
    const std::string_view messageText = message.text;
    if (Result<std::string> earlier = folder.read(name, messageText.size() + kLineEnd.size() + 1);
        earlier && earlier.value().size() == messageText.size() + kLineEnd.size() &&
        earlier.value().starts_with(messageText) && earlier.value().ends_with(kLineEnd))
        return FileInFolder{folder, name};
    auto pending = PendingFile::createIn(folder);
    if (!pending)
        return pending.error();
    if (auto written = pending.value().write(messageText); !written)
        return written.error();
    if (auto written = pending.value().write(kLineEnd); !written)
        return written.error();
    return commitMessageFile(pending.value(), folder, name);
}

Result<void> removeMessageFile(const FileInFolder &file)
{
    return file.folder.remove(file.name);
}

} // namespace tessaly
