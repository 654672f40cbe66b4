#include "mailconverter/attachments/MessageCommit.h"

#include "support/FileNameRules.h"
#include "support/PathHelpers.h"
#include "support/PendingFile.h"

#include <filesystem>
#include <system_error>

namespace tessaly {
namespace {

constexpr int kMaxNumberedVariants = 9999;

bool isTaken(const std::string &path, const std::set<std::string> &reserved)
{
    std::error_code error;
    return reserved.contains(path) || std::filesystem::exists(std::filesystem::symlink_status(toFsPath(path), error));
}

std::string folderOf(const std::string &path)
{
    const std::filesystem::path folder = toFsPath(path).parent_path();
    return folder.empty() ? std::string(".") : fromFsPath(folder);
}

} // namespace

CommitPlan planCommit(const std::string &destination, const std::set<std::string> &reserved)
{
    CommitPlan plan{destination, {}};
    for (int n = 2; n <= kMaxNumberedVariants && isTaken(plan.pdfPath, reserved); ++n)
        plan.pdfPath = numberedVariant(destination, n);
    plan.namesInAttachmentFolder = namesInFolder(attachmentFolderFor(plan.pdfPath));
    return plan;
}

Result<ConvertedMessage> commitRenderedMessage(RenderedMessage message)
{
    ConvertedMessage &converted = message.converted;
    const std::string plannedPath = converted.writtenPath;
    Result<PendingFile> pending = PendingFile::createIn(folderOf(plannedPath));
    if (!pending)
        return pending.error();
    if (Result<void> written = pending.value().write(message.pdf); !written)
        return written.error();
    if (Result<void> closed = pending.value().close(); !closed)
        return closed.error();

    Result<WrittenAttachments> saved =
        writeAttachmentFolder(message.attachmentFolder, message.attachments, converted.warnings);
    if (!saved)
        return saved.error();
    Result<std::string> committed = pending.value().commitAs(plannedPath);
    if (!committed) {
        removeWrittenAttachments(saved.value());
        return committed.error();
    }
    converted.writtenPath = committed.value();
    if (converted.writtenPath != plannedPath)
        converted.warnings.push_back("the PDF was saved as '" + converted.writtenPath + "' rather than '" +
                                     plannedPath + "', a name taken meanwhile; links to its attachments miss them");
    return std::move(converted);
}

} // namespace tessaly
