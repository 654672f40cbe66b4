#include "mailconverter/attachments/AttachmentFolderWriter.h"

#include "mailconverter/readers/AttachmentNames.h"
#include "support/FileNameRules.h"
#include "support/FolderBelow.h"
#include "support/PathHelpers.h"
#include "support/PendingFile.h"
#include "support/TextHelpers.h"

#include <filesystem>
#include <system_error>

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

std::vector<std::string> namesInFolder(const std::string &folder)
{
    std::vector<std::string> names;
    std::error_code error;
    for (auto it = std::filesystem::directory_iterator(toFsPath(folder), error);
         !error && it != std::filesystem::directory_iterator(); it.increment(error))
        names.push_back(fromFsPath(it->path().filename()));
    return names;
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

Result<WrittenAttachments> writeAttachmentFolder(const std::string &folder, const std::vector<FileToSave> &files,
                                                 std::vector<std::string> &warnings)
{
    WrittenAttachments written;
    if (files.empty())
        return written;
    const std::filesystem::path folderPath = toFsPath(folder);
    Result<std::vector<std::string>> made =
        makeFolderBelow(fromFsPath(folderPath.parent_path()), fromFsPath(folderPath.filename()));
    if (!made)
        return made.error();
    written.createdFolders = made.value();

    auto fail = [&written](Error error) -> Result<WrittenAttachments> {
        removeWrittenAttachments(written);
        return error;
    };
    for (const FileToSave &file : files) {
        // Written under a temporary name created exclusively, then moved to its name by a
        // rename that never replaces (nor follows a link at) an existing name.
        Result<PendingFile> pending = PendingFile::createIn(folder);
        if (!pending)
            return fail(pending.error());
        if (Result<void> done = pending.value().write(file.bytes); !done)
            return fail(done.error());
        const std::string plannedPath = joinPath(folder, file.name);
        Result<std::string> path = pending.value().commitAs(plannedPath);
        if (!path)
            return fail(path.error());
        if (path.value() != plannedPath)
            warnings.push_back("'" + plannedPath + "' was taken meanwhile; the attachment was saved as '" +
                               path.value() + "' and its link in the PDF does not reach it");
        written.files.push_back(std::move(path).value());
    }
    return written;
}

void removeWrittenAttachments(const WrittenAttachments &written)
{
    for (const std::string &file : written.files) {
        std::error_code ignored; // a file that won't go stays; nothing of the message is lost
        std::filesystem::remove(toFsPath(file), ignored);
    }
    removeEmptyFolders(written.createdFolders);
}

} // namespace tessaly
