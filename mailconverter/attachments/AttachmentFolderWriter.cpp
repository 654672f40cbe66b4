// Saves a message's attachments in a folder beside its PDF, never replacing a file.
#include "mailconverter/attachments/AttachmentFolderWriter.h"

#include "FileNameRules.h"
#include "FolderBelow.h"
#include "mailconverter/readers/AttachmentNames.h"
#include "PathHelpers.h"
#include "PendingFile.h"
#include "TextHelpers.h"

#include <filesystem>
#include <system_error>

namespace tessaly {
namespace {

constexpr int kMaxNumberedVariants = 9999;

} // namespace

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

std::string likelyCommittedPath(const std::string &destination)
{
    std::error_code error;
    if (!std::filesystem::exists(std::filesystem::symlink_status(toFsPath(destination), error)))
        return destination;
    for (int n = 2; n <= kMaxNumberedVariants; ++n) {
        std::string candidate = numberedVariant(destination, n);
        if (!std::filesystem::exists(std::filesystem::symlink_status(toFsPath(candidate), error)))
            return candidate;
    }
    return destination;
}

std::string relativeFileUrl(std::string_view relativePath)
{
    return percentEncode(relativePath, "/");
}

AttachmentFolderPlan planAttachmentFolder(const std::string &pdfPath, const std::vector<std::string> &names)
{
    AttachmentFolderPlan plan;
    plan.folder = attachmentFolderFor(pdfPath);
    const std::string folderName = PathFileName(plan.folder);

    UniqueNames taken;
    std::error_code error;
    for (auto it = std::filesystem::directory_iterator(toFsPath(plan.folder), error);
         !error && it != std::filesystem::directory_iterator(); it.increment(error))
        taken.reserve(fromFsPath(it->path().filename()));

    for (const std::string &name : names) {
        std::string fileName = taken.claim(name);
        plan.hrefs.push_back(relativeFileUrl(folderName + "/" + fileName));
        plan.fileNames.push_back(std::move(fileName));
    }
    return plan;
}

Result<WrittenAttachments> writeAttachmentFolder(const AttachmentFolderPlan &plan,
                                                 const std::vector<AttachmentFile> &files,
                                                 std::vector<std::string> &warnings)
{
    WrittenAttachments written;
    if (files.empty())
        return written;
    const std::filesystem::path folder = toFsPath(plan.folder);
    Result<std::vector<std::string>> made =
        makeFolderBelow(fromFsPath(folder.parent_path()), fromFsPath(folder.filename()));
    if (!made)
        return made.error();
    written.createdFolders = made.value();

    auto fail = [&written](Error error) -> Result<WrittenAttachments> {
        removeWrittenAttachments(written);
        return error;
    };
    for (std::size_t i = 0; i < files.size() && i < plan.fileNames.size(); ++i) {
        // Written under a temporary name created exclusively, then moved to its name by a
        // rename that never replaces (nor follows a link at) an existing name.
        Result<PendingFile> pending = PendingFile::createIn(plan.folder);
        if (!pending)
            return fail(pending.error());
        if (Result<void> done = pending.value().write(files[i].bytes); !done)
            return fail(done.error());
        const std::string plannedPath = joinPath(plan.folder, plan.fileNames[i]);
        Result<std::string> path = pending.value().commitAs(plannedPath);
        if (!path)
            return fail(path.error());
        if (path.value() != plannedPath)
            warnings.push_back("'" + plannedPath + "' was taken meanwhile; the attachment was saved as '" + path.value()
                               + "' and its link in the PDF does not reach it");
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
