// Putting a rendered message in its place: the files saved beside its PDF, then the PDF.
#pragma once

#include "mailconverter/attachments/AttachmentFolderWriter.h"
#include "platform/MailConverter.h"
#include "support/Result.h"

#include <set>
#include <string>
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

/// The plan for a PDF meant for `destination` as the output folder stands now: `destination`,
/// or its first numbered variant "name (n).pdf" that is free on disk and not in `reserved`
/// (the paths planned for messages rendered but not yet committed).
CommitPlan planCommit(const std::string &destination, const std::set<std::string> &reserved = {});

/// A message rendered and not yet committed: everything the commit writes, in memory.
struct RenderedMessage
{
    /// What the conversion reports; its `writtenPath` is the planned path until committed.
    ConvertedMessage converted;
    /// The finished PDF.
    std::string pdf;
    /// Saved in `attachmentFolder` under their planned names; empty when nothing is saved.
    std::string attachmentFolder;
    std::vector<FileToSave> attachments;
};

/// Commits `message` as one unit: the attachments first, then the PDF under its planned path
/// (or, should that have been taken meanwhile, the next free numbered name, with a warning),
/// never replacing a file. A failure takes back what was written and leaves no PDF.
Result<ConvertedMessage> commitRenderedMessage(RenderedMessage message);

} // namespace tessaly
