// A file held open by its descriptor, read at any place and written at its end, which can be
// handed to another process (DescriptorChannel) without naming it.
#pragma once

#include "support/Result.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace tessaly {

/// An open file, closed when it goes. Reads name their place and never move a position that
/// another holder of the same open file (a process it was handed to) depends on. `name` says
/// which file it is in errors only.
class OpenFile
{
public:
    OpenFile() = default;
    /// Takes over `descriptor`.
    OpenFile(int descriptor, std::string name) : m_descriptor(descriptor), m_name(std::move(name)) {}
    OpenFile(OpenFile &&other) noexcept;
    OpenFile &operator=(OpenFile &&other) noexcept;
    OpenFile(const OpenFile &) = delete;
    OpenFile &operator=(const OpenFile &) = delete;
    ~OpenFile();

    /// Opens the plain file at `path` for reading (a caller's own path: links are followed).
    static Result<OpenFile> openForReading(const std::string &path);
    /// A new file with no name in any folder, open for reading and writing, gone once the last
    /// descriptor of it closes: a file without a name in the system's temporary folder, else a
    /// memory file. POSIX only; elsewhere it fails so.
    static Result<OpenFile> makeUnnamed();

    bool isOpen() const { return m_descriptor >= 0; }
    int descriptor() const { return m_descriptor; }
    const std::string &name() const { return m_name; }

    /// The file's size now.
    Result<std::uint64_t> size() const;
    /// Reads up to `length` bytes at `offset` into `into`; fewer only at the file's end.
    Result<std::size_t> readAt(std::uint64_t offset, char *into, std::size_t length) const;
    /// The file's first `maxBytes` bytes (all of it unless told).
    Result<std::string> readAll(std::uint64_t maxBytes = UINT64_MAX) const;
    /// Writes all of `bytes` at the position of the open file, which then moves past them.
    Result<void> write(std::string_view bytes);
    /// Cuts the file to nothing and puts its position at its start.
    Result<void> clear();
    /// Cuts the file to its first `size` bytes (its position stays).
    Result<void> truncate(std::uint64_t size);
    /// Puts what was written, and the file's size, on the disk (not the folder's entry for it:
    /// see FolderHandle::sync).
    Result<void> sync();
    /// Closes the file; the error says what the last writes came to.
    Result<void> close();
    /// A stream that reads the file from its start, with a descriptor of its own that shares
    /// this file's position; the caller closes it. nullptr, with errno set, when it cannot.
    std::FILE *streamFromStart() const;

private:
    int m_descriptor = -1;
    std::string m_name;
};

} // namespace tessaly
