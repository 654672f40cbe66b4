#include "mailconverter/attachments/MessageCommit.h"

#include "support/FileMark.h"
#include "support/FileNameRules.h"
#include "support/PendingFile.h"

namespace tessaly {
namespace {

constexpr int kMaxNumberedVariants = 9999;

} // namespace

CommitPlan planCommit(const FileInFolder &destination, const std::set<std::string> &reserved, CommitMark mark)
{
    const FolderHandle &folder = destination.folder;
    const auto isOwnCopy = [&mark](const FolderHandle &in, const std::string &name) {
        return mark.replacesEarlierCopy && !mark.mark.empty() && fileMark(in, name) == mark.mark;
    };
    std::string name = destination.name;
    const auto isTaken = [&](const std::string &candidate) {
        if (reserved.contains(folder.pathOf(candidate)))
            return true;
        // A name that cannot be looked at is planned anyway: the commit never replaces what is there.
        Result<EntryType> there = folder.entryType(candidate);
        return there && there.value() != EntryType::Missing && !isOwnCopy(folder, candidate);
    };
    for (int n = 2; n <= kMaxNumberedVariants && isTaken(name); ++n)
        name = numberedVariant(destination.name, n);

    const std::string attachmentFolder = attachmentFolderFor(name);
    // An attachments folder that cannot be read plans its names as an empty one: each file's
    // commit there never replaces, and writing into it says what is wrong.
    Result<std::vector<std::string>> listed = folder.namesIn(attachmentFolder);
    std::vector<std::string> namesTaken = listed ? std::move(listed).value() : std::vector<std::string>();
    if (!namesTaken.empty() && mark.replacesEarlierCopy) {
        if (Result<FolderHandle> attachments = folder.openExisting(attachmentFolder))
            std::erase_if(namesTaken, [&](const std::string &taken) { return isOwnCopy(attachments.value(), taken); });
    }
    return CommitPlan{folder.pathOf(name), std::move(namesTaken)};
}

Result<ConvertedMessage> commitRenderedMessage(const FileInFolder &pdf, RenderedMessage message, CommitMark mark)
{
    ConvertedMessage &converted = message.converted;
    const std::string plannedPath = pdf.path();
    Result<PendingFile> pending = PendingFile::createIn(pdf.folder);
    if (!pending)
        return pending.error();
    if (Result<void> written =
            message.pdf.copyTo([&pending](std::string_view chunk) { return pending.value().write(chunk); });
        !written)
        return written.error();

    Result<WrittenAttachments> saved =
        writeAttachmentFolder(pdf.folder, attachmentFolderFor(pdf.name), message.attachments, converted.warnings, mark);
    if (!saved)
        return saved.error();
    Result<std::string> committed = pending.value().commitAs(pdf.name, Durability::Durable, mark);
    if (!committed) {
        removeWrittenAttachments(saved.value());
        return committed.error();
    }
    // The PDF's name and its attachments folder's are durable only with the folder; until then
    // the message is not converted, and its message file must stay.
    if (Result<void> synced = pdf.folder.sync(); !synced) {
        // A file that won't go stays; the message is kept all the same.
        (void)pdf.folder.remove(committed.value());
        removeWrittenAttachments(saved.value());
        return synced.error();
    }
    converted.writtenPath = pdf.folder.pathOf(committed.value());
    converted.attachmentsSaved = static_cast<int>(saved.value().files.size());
    if (converted.writtenPath != plannedPath)
        converted.warnings.push_back("the PDF was saved as '" + converted.writtenPath + "' rather than '" +
                                     plannedPath + "', a name taken meanwhile; links to its attachments miss them");
    return std::move(converted);
}

} // namespace tessaly
