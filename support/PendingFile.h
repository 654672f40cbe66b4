// A file written under a temporary name and moved to its final name only when complete.
#pragma once

#include "support/FileMark.h"
#include "support/FolderHandle.h"
#include "support/Result.h"

#include <optional>
#include <string>
#include <string_view>

namespace tessaly {

/// Whether a file's data must be on the disk before its name appears.
enum class Durability
{
    /// Synced before the rename: after a crash, the name holds the whole file or is missing.
    Durable,
    /// Not synced: a working copy of bytes that are kept elsewhere, cheap to lose.
    Scratch
};

/// A temporary file in the folder of its destination. Write to it, then `commitAs(name)`. A
/// PendingFile that is never committed removes its file, so a name that readers see always
/// holds a complete file, even if the process dies mid-write. Made, renamed and removed
/// through the folder's handle only. Where the system allows, the file has no name at all
/// until it is committed, so that a killed process leaves nothing behind; elsewhere it is a
/// hidden ".tessaly-….part" file.
class PendingFile
{
public:
    /// Creates the temporary file exclusively in `folder`.
    static Result<PendingFile> createIn(const FolderHandle &folder);

    PendingFile(PendingFile &&other) noexcept;
    PendingFile &operator=(PendingFile &&other) noexcept;
    PendingFile(const PendingFile &) = delete;
    PendingFile &operator=(const PendingFile &) = delete;
    ~PendingFile();

    /// Writes `bytes` to the open file.
    Result<void> write(std::string_view bytes);
    /// The open file, to read back what was written; null once committed or discarded.
    const OpenFile *file() const { return m_file ? &*m_file : nullptr; }

    /// Closes the file and moves it to `name` in its folder, or to "name (2)", "(3)" … when
    /// that name is taken. Returns the name it got. A Durable file's data is synced before the
    /// rename (as QSaveFile does); the rename itself is durable only once the folder is synced,
    /// which the caller does (FolderHandle::sync), once for all the files it names there.
    ///
    /// The file gets `mark.mark` (FileMark.h), naming the message it comes from. With
    /// `mark.replacesEarlierCopy`, a file with the same mark under one of those names is an
    /// earlier copy of it that a killed run left unrecorded: it is replaced, not kept beside.
    Result<std::string> commitAs(std::string_view name, Durability durability = Durability::Durable,
                                 CommitMark mark = {});
    /// Closes the file and moves it to `name` in its folder, replacing the plain file there in
    /// one rename: at every moment the name holds the old file or this one, whole. For files the
    /// caller knows to be its own (an earlier bundle); a link or a folder at `name` is refused.
    /// Synced and left for the caller to sync the folder as commitAs.
    Result<void> commitReplacing(std::string_view name, Durability durability = Durability::Durable);

private:
    /// `name` "": a file without a name (FolderHandle::createUnnamed).
    PendingFile(FolderHandle folder, std::string name, OpenFile file)
        : m_folder(std::move(folder)), m_name(std::move(name)), m_file(std::move(file)), m_unnamed(m_name.empty())
    {
    }
    void discard();
    /// Syncs (when Durable) and, for a named file, closes it, as both commits begin.
    Result<void> finishWriting(std::string_view name, Durability durability, std::string_view mark);
    /// Gives a file without a name a temporary one, so that a rename can replace with it.
    Result<void> nameTemporarily();
    /// Gives the file the name `name` (never replacing); as FolderHandle::rename.
    Result<RenameOutcome> placeAs(const std::string &name) const;

    FolderHandle m_folder;
    std::string m_name; ///< the temporary name; empty for a file without one, and once committed or discarded
    std::optional<OpenFile> m_file;
    bool m_unnamed = false;
};

} // namespace tessaly
