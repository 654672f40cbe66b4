// Putting a rendered message in its place: the files saved beside its PDF, then the PDF.
#pragma once

#include "mailconverter/attachments/AttachmentFolderWriter.h"
#include "platform/MailConverter.h"
#include "support/ByteSource.h"
#include "support/Result.h"

#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly {

/// The names a message will be committed under, decided before it is rendered: the PDF links
/// to its attachments folder and names its embedded source after them.
struct CommitPlan
{
    /// The path the PDF will be committed to.
    std::string pdfPath;
    /// The files already in that PDF's attachments folder, whose names the attachments avoid.
    std::vector<std::string> namesInAttachmentFolder;

    bool operator==(const CommitPlan &) const = default;
};

/// The plan for a PDF meant for `destination` as its folder stands now: `destination`, or its
/// first numbered variant "name (n).pdf" that is free there and not in `reserved` (the paths
/// planned for messages rendered but not yet committed). With `mark.replacesEarlierCopy`, a
/// file with the message's mark (FileMark.h) is its own earlier copy and leaves its name free.
CommitPlan planCommit(const FileInFolder &destination, const std::set<std::string> &reserved = {},
                      CommitMark mark = {});

/// A message rendered and not yet committed: everything the commit writes, in memory or in a
/// file it is copied from in bounded chunks.
struct RenderedMessage
{
    /// What the conversion reports; its `writtenPath` is set by the commit.
    ConvertedMessage converted;
    /// The finished PDF, in memory or in a worker's output file.
    ByteSource pdf;
    /// Saved in the PDF's attachments folder under their planned names; empty when nothing is saved.
    std::vector<FileToSave> attachments;
    /// The SHA-256 of the message file as rendered (hex), of which its outputs' mark is made
    /// (messageMark, FileMark.h).
    std::string messageDigest;
    /// The HTML renderer's process died while it drew the message, so the plain-text renderer
    /// drew the HTML body (a warning says so): a fresh process may well draw it as it looks.
    bool htmlRendererCrashed = false;
};

/// Commits `message` as one unit as `pdf`: the attachments first, in the attachments folder
/// beside it (attachmentFolderFor), then the PDF (or, should its name have been taken
/// meanwhile, the next free numbered name, with a warning), never replacing a file and only
/// through `pdf`'s folder handle. Durable on return: each file's data is synced before its
/// rename and each folder after its last rename, so the caller may then delete the message's
/// source. A failure takes back what was written and leaves no PDF. Each file gets `mark`
/// (PendingFile::commitAs).
Result<ConvertedMessage> commitRenderedMessage(const FileInFolder &pdf, RenderedMessage message, CommitMark mark = {});

} // namespace tessaly
