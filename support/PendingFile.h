// A file written under a temporary name and moved to its final name only when complete.
#pragma once

#include "support/Result.h"

#include <cstdio>
#include <string>
#include <string_view>

namespace tessaly {

/// What a rename that must not replace anything came to.
enum class RenameOutcome
{
    Renamed,
    NameTaken,
    Failed
};

/// Moves `from` to `to` unless something already exists at `to` (a dangling symbolic link
/// included); never replaces an existing file. On NameTaken and Failed, `reason` holds the
/// operating system's reason.
RenameOutcome renameWithoutReplacing(const std::string &from, const std::string &to, std::string &reason);

/// A temporary file in the folder of its destination. Write to `path()` (or `stream()`),
/// then `commitAs(destination)`. A PendingFile that is never committed removes its file, so
/// a name that readers see always holds a complete file, even if the process dies mid-write.
class PendingFile
{
public:
    /// Creates the temporary file exclusively in `folder`.
    static Result<PendingFile> createIn(const std::string &folder);

    PendingFile(PendingFile &&other) noexcept;
    PendingFile &operator=(PendingFile &&other) noexcept;
    PendingFile(const PendingFile &) = delete;
    PendingFile &operator=(const PendingFile &) = delete;
    ~PendingFile();

    const std::string &path() const { return m_path; }

    /// Writes `bytes` to the open file.
    Result<void> write(std::string_view bytes);

    /// Closes the file (flushing it) so that another writer may fill `path()` instead.
    Result<void> close();

    /// Closes the file and moves it to `destination`, or to "destination (2)", "(3)" … when
    /// that name is taken. Returns the name it got.
    Result<std::string> commitAs(const std::string &destination);

private:
    PendingFile(std::string path, std::FILE *file) : m_path(std::move(path)), m_file(file) {}
    void discard();

    std::string m_path;
    std::FILE *m_file = nullptr;
};

} // namespace tessaly
