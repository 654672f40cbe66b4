#include "support/PendingFile.h"

#include "support/FileMark.h"
#include "support/FileNameRules.h"

#include <random>

namespace tessaly {
namespace {

constexpr int kMaxNumberedVariants = 99999;
constexpr int kMaxTemporaryNameAttempts = 100;

/// Removes `name` when it is an earlier copy of the file marked `mark`; whether it did. A copy
/// that will not go stays, and the file takes the next numbered name: nothing is lost.
bool removeEarlierCopy(const FolderHandle &folder, const std::string &name, std::string_view mark)
{
    return !mark.empty() && fileMark(folder, name) == mark && folder.remove(name);
}

std::string randomSuffix()
{
    static std::mt19937_64 generator{std::random_device{}()};
    static constexpr char kAlphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string suffix;
    for (int i = 0; i < 10; ++i)
        suffix.push_back(kAlphabet[generator() % (sizeof(kAlphabet) - 1)]);
    return suffix;
}

std::string temporaryName()
{
    return ".tessaly-" + randomSuffix() + ".part";
}

} // namespace

Result<PendingFile> PendingFile::createIn(const FolderHandle &folder)
{
    // Without a name, a file that a killed process leaves is gone with it.
    if (Result<OpenFile> unnamed = folder.createUnnamed())
        return PendingFile(folder, {}, std::move(unnamed).value());
    for (int attempt = 0; attempt < kMaxTemporaryNameAttempts; ++attempt) {
        std::string name = temporaryName();
        Result<OpenFile> file = folder.create(name);
        if (file)
            return PendingFile(folder, std::move(name), std::move(file).value());
        // Made exclusively: a name something else holds, a link included, is passed over.
        Result<EntryType> taken = folder.entryType(name);
        if (!taken || taken.value() == EntryType::Missing)
            return file.error();
    }
    return Error{"cannot create a file in '" + folder.path() + "': no free temporary name", FailureKind::NameConflict};
}

PendingFile::PendingFile(PendingFile &&other) noexcept
    : m_folder(other.m_folder), m_name(std::exchange(other.m_name, {})), m_file(std::move(other.m_file)),
      m_unnamed(other.m_unnamed)
{
    other.m_file.reset();
}

PendingFile &PendingFile::operator=(PendingFile &&other) noexcept
{
    if (this != &other) {
        discard();
        m_folder = other.m_folder;
        m_name = std::exchange(other.m_name, {});
        m_file = std::move(other.m_file);
        m_unnamed = other.m_unnamed;
        other.m_file.reset();
    }
    return *this;
}

PendingFile::~PendingFile()
{
    discard();
}

void PendingFile::discard()
{
    m_file.reset();
    if (!m_name.empty()) {
        // Nothing more can be done about a temporary file that won't go.
        (void)m_folder.remove(m_name);
    }
    m_name.clear();
}

Result<void> PendingFile::write(std::string_view bytes)
{
    if (!m_file)
        return Error{"cannot write '" + m_folder.pathOf(m_name) + "': the file is closed", FailureKind::InternalError};
    return m_file->write(bytes);
}

Result<std::string> PendingFile::commitAs(std::string_view name, Durability durability, CommitMark mark)
{
    if (Result<void> finished = finishWriting(name, durability, mark.mark); !finished)
        return finished.error();
    for (int n = 1; n <= kMaxNumberedVariants; ++n) {
        const std::string candidate = n == 1 ? std::string(name) : numberedVariant(std::string(name), n);
        // Decided by the rename's own answer, not by a second look: another process may free
        // or take the name in between.
        Result<RenameOutcome> placed = placeAs(candidate);
        if (placed && placed.value() == RenameOutcome::NameTaken && mark.replacesEarlierCopy &&
            removeEarlierCopy(m_folder, candidate, mark.mark))
            placed = placeAs(candidate);
        if (!placed)
            return placed.error().within("cannot create '" + m_folder.pathOf(candidate) + "': ");
        if (placed.value() == RenameOutcome::NameTaken)
            continue;
        // Its data went to the disk before it was named (Durable) or is a scratch copy.
        m_file.reset();
        m_name.clear();
        return candidate;
    }
    return Error{"cannot create '" + m_folder.pathOf(name) + "': every numbered variant of the name is taken",
                 FailureKind::NameConflict};
}

Result<void> PendingFile::commitReplacing(std::string_view name, Durability durability)
{
    if (Result<void> finished = finishWriting(name, durability, {}); !finished)
        return finished;
    // A link cannot replace a name, a rename can: a file without a name gets one first.
    if (m_unnamed) {
        if (Result<void> named = nameTemporarily(); !named)
            return named;
    }
    if (Result<void> replaced = m_folder.replace(m_name, name); !replaced)
        return replaced; // the temporary name goes with discard()
    m_file.reset();
    m_name.clear();
    return {};
}

Result<void> PendingFile::finishWriting(std::string_view name, Durability durability, std::string_view mark)
{
    if (!m_file && m_name.empty())
        return Error{"cannot create '" + m_folder.pathOf(name) + "': nothing was written", FailureKind::InternalError};
    if (!m_file)
        return {};
    setFileMark(*m_file, mark);
    if (durability == Durability::Durable) {
        if (Result<void> synced = m_file->sync(); !synced)
            return synced.error();
    }
    // A file without a name is named through its descriptor, so it stays open until then.
    if (!m_unnamed) {
        Result<void> closed = m_file->close();
        m_file.reset();
        if (!closed)
            return closed.error();
    }
    return {};
}

Result<void> PendingFile::nameTemporarily()
{
    for (int attempt = 0; attempt < kMaxTemporaryNameAttempts; ++attempt) {
        std::string candidate = temporaryName();
        Result<RenameOutcome> linked = m_folder.linkUnnamed(*m_file, candidate);
        if (!linked)
            return linked.error().within("cannot create a file in '" + m_folder.path() + "': ");
        if (linked.value() == RenameOutcome::NameTaken)
            continue;
        m_name = std::move(candidate);
        m_unnamed = false;
        m_file.reset();
        return {};
    }
    return Error{"cannot create a file in '" + m_folder.path() + "': no free temporary name",
                 FailureKind::NameConflict};
}

Result<RenameOutcome> PendingFile::placeAs(const std::string &name) const
{
    return m_unnamed ? m_folder.linkUnnamed(*m_file, name) : m_folder.rename(m_name, name);
}

} // namespace tessaly
