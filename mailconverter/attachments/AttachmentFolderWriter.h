// Saves a message's attachments in a folder beside its PDF, never replacing a file.
#pragma once

#include "support/ByteSource.h"
#include "support/FileMark.h"
#include "support/FolderHandle.h"
#include "support/Result.h"

#include <optional>

#include <string>
#include <string_view>
#include <vector>

namespace tessaly {

/// The folder for the attachments of the PDF at `pdfPath`: beside it, named after it without
/// ".pdf" plus " attachments" ("Hello 05-03-2021.pdf" gives "Hello 05-03-2021 attachments").
std::string attachmentFolderFor(const std::string &pdfPath);

/// `relativePath` ("/"-separated) as a relative URL: each segment percent-encoded.
std::string relativeFileUrl(std::string_view relativePath);

/// Where each attachment will be saved, decided before the PDF (which links to them) is drawn.
struct AttachmentFolderPlan
{
    std::string folder;                 ///< full path of the attachments folder
    std::vector<std::string> fileNames; ///< one per attachment, unique also against the folder's files
    std::vector<std::string> hrefs;     ///< relative to the PDF's folder, percent-encoded
};

/// Plans the folder for the PDF that will be at `pdfPath`. `names` are the attachments' safe
/// names, unique among themselves; a name that one of `namesTaken` (the files already in that
/// folder) has, ignoring case, gets a numbered variant.
AttachmentFolderPlan planAttachmentFolder(const std::string &pdfPath, const std::vector<std::string> &names,
                                          const std::vector<std::string> &namesTaken);

/// A file to save in the attachments folder, under its planned name.
struct FileToSave
{
    std::string name;
    ByteSource bytes; ///< in memory, or in a worker's output file
};

/// What writeAttachmentFolder wrote, so that it can be taken back.
struct WrittenAttachments
{
    /// The folder the attachments folder is in, and the attachments folder itself.
    std::optional<FolderHandle> parent;
    std::optional<FolderHandle> folder;
    /// The names the files got there.
    std::vector<std::string> files;
    /// The attachments folder, relative to `parent`, when this write created it.
    std::vector<std::string> createdFolders;
};

/// Makes the folder `folderName` in `parent` (if missing) and writes each file exclusively
/// under its planned name: never through a symbolic link, never over an existing file, and
/// never a partial file under a final name. A folder of that name that is a symbolic link is
/// refused. When a planned name has been taken since planning, the file gets the next free
/// numbered name and `warnings` says so (its link then points at nothing). Each file's data is
/// on the disk before it gets its name, and the folder is synced after the last one; the
/// folder's own entry in `parent` is not (the caller syncs `parent`). Fails with the path and
/// the OS reason, and then leaves nothing it wrote behind. Each file gets `mark`
/// (PendingFile::commitAs).
Result<WrittenAttachments> writeAttachmentFolder(const FolderHandle &parent, const std::string &folderName,
                                                 const std::vector<FileToSave> &files,
                                                 std::vector<std::string> &warnings, CommitMark mark = {});

/// Removes what writeAttachmentFolder wrote: its files, and its folder if it made it and it
/// is empty now.
void removeWrittenAttachments(const WrittenAttachments &written);

} // namespace tessaly
