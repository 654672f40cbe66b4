#include "mailconverter/attachments/AttachmentFolderWriter.h"

#include "mailconverter/readers/AttachmentNames.h"
#include "support/FileNameRules.h"
#include "support/PathHelpers.h"
#include "support/PendingFile.h"
#include "support/TextHelpers.h"

namespace tessaly {
std::string attachmentFolderFor(const std::string &pdfPath)
{
    std::string base = pdfPath;
    const std::string_view name = std::string_view(pdfPath).substr(pdfPath.size() - PathFileName(pdfPath).size());
    if (name.size() > 4) {
        std::string extension(name.substr(name.size() - 4));
        for (char &c : extension)
            c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
        if (extension == ".pdf")
            base.resize(base.size() - 4);
    }
    return base + " attachments";
}

std::string relativeFileUrl(std::string_view relativePath)
{
    return percentEncode(relativePath, "/");
}

AttachmentFolderPlan planAttachmentFolder(const std::string &pdfPath, const std::vector<std::string> &names,
                                          const std::vector<std::string> &namesTaken)
{
    AttachmentFolderPlan plan;
    plan.folder = attachmentFolderFor(pdfPath);
    const std::string folderName = PathFileName(plan.folder);

    UniqueNames taken;
    for (const std::string &name : namesTaken)
        taken.reserve(name);

    for (const std::string &name : names) {
        std::string fileName = taken.claim(name);
        plan.hrefs.push_back(relativeFileUrl(folderName + "/" + fileName));
        plan.fileNames.push_back(std::move(fileName));
    }
    return plan;
}

Result<WrittenAttachments> writeAttachmentFolder(const FolderHandle &parent, const std::string &folderName,
                                                 const std::vector<FileToSave> &files,
                                                 std::vector<std::string> &warnings, CommitMark mark)
{
    WrittenAttachments written;
    if (files.empty())
        return written;
    written.parent = parent;
    Result<FolderHandle> folder = parent.openBelow(folderName, &written.createdFolders);
    if (!folder) {
        removeWrittenAttachments(written);
        return folder.error();
    }
    written.folder = folder.value();

    auto fail = [&written](Error error) -> Result<WrittenAttachments> {
        removeWrittenAttachments(written);
        return error;
    };
    for (const FileToSave &file : files) {
        // Written under a temporary name created exclusively, then moved to its name by a
        // rename that never replaces (nor follows a link at) an existing name.
        Result<PendingFile> pending = PendingFile::createIn(folder.value());
        if (!pending)
            return fail(pending.error());
        if (Result<void> done = file.bytes.copyTo([&](std::string_view chunk) { return pending.value().write(chunk); });
            !done)
            return fail(done.error());
        Result<std::string> name = pending.value().commitAs(file.name, Durability::Durable, mark);
        if (!name)
            return fail(name.error());
        if (name.value() != file.name)
            warnings.push_back("'" + folder.value().pathOf(file.name) +
                               "' was taken meanwhile; the attachment was saved as '" +
                               folder.value().pathOf(name.value()) + "' and its link in the PDF does not reach it");
        written.files.push_back(std::move(name).value());
    }
    // One folder sync makes every name above durable; the folder's own entry is synced with
    // the PDF beside it.
    if (Result<void> synced = folder.value().sync(); !synced)
        return fail(synced.error());
    return written;
}

void removeWrittenAttachments(const WrittenAttachments &written)
{
    if (written.folder) {
        for (const std::string &file : written.files) {
            // A file that won't go stays; nothing of the message is lost.
            (void)written.folder->remove(file);
        }
    }
    if (written.parent)
        written.parent->removeEmptyFolders(written.createdFolders);
}

} // namespace tessaly
