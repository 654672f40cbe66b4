#include "support/PendingFile.h"

#include "support/FileNameRules.h"
#include "support/PathHelpers.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <random>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>
#endif

namespace tessaly {
namespace {

constexpr int kMaxNumberedVariants = 99999;
constexpr int kMaxTemporaryNameAttempts = 100;

std::string systemReason(int errorNumber)
{
    return std::generic_category().message(errorNumber);
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

} // namespace

RenameOutcome renameWithoutReplacing(const std::string &from, const std::string &to, std::string &reason)
{
#ifdef _WIN32
    if (MoveFileExW(toFsPath(from).c_str(), toFsPath(to).c_str(), 0))
        return RenameOutcome::Renamed;
    const DWORD error = GetLastError();
    reason = std::system_category().message(static_cast<int>(error));
    return error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS ? RenameOutcome::NameTaken
                                                                       : RenameOutcome::Failed;
#else
    const auto failure = [&reason](int errorNumber) {
        reason = systemReason(errorNumber);
        return errorNumber == EEXIST ? RenameOutcome::NameTaken : RenameOutcome::Failed;
    };
#ifdef RENAME_NOREPLACE
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return RenameOutcome::Renamed;
    if (errno != EINVAL && errno != ENOSYS)
        return failure(errno);
#endif
    // File systems without RENAME_NOREPLACE: a hard link fails on an existing name too.
    if (::link(from.c_str(), to.c_str()) != 0)
        return failure(errno);
    ::unlink(from.c_str());
    return RenameOutcome::Renamed;
#endif
}

Result<PendingFile> PendingFile::createIn(const std::string &folder)
{
    for (int attempt = 0; attempt < kMaxTemporaryNameAttempts; ++attempt) {
        const std::string path = joinPath(folder, ".tessaly-" + randomSuffix() + ".part");
#ifdef _WIN32
        std::FILE *file = _wfopen(toFsPath(path).c_str(), L"wbx");
#else
        std::FILE *file = std::fopen(path.c_str(), "wbx");
#endif
        if (file)
            return PendingFile(path, file);
        if (errno != EEXIST)
            return Error{"cannot create a file in '" + folder + "': " + systemReason(errno)};
    }
    return Error{"cannot create a file in '" + folder + "': no free temporary name"};
}

PendingFile::PendingFile(PendingFile &&other) noexcept : m_path(std::move(other.m_path)), m_file(other.m_file)
{
    other.m_path.clear();
    other.m_file = nullptr;
}

PendingFile &PendingFile::operator=(PendingFile &&other) noexcept
{
    if (this != &other) {
        discard();
        m_path = std::move(other.m_path);
        m_file = other.m_file;
        other.m_path.clear();
        other.m_file = nullptr;
    }
    return *this;
}

PendingFile::~PendingFile()
{
    discard();
}

void PendingFile::discard()
{
    if (m_file)
        std::fclose(m_file);
    m_file = nullptr;
    if (!m_path.empty()) {
        std::error_code ignored; // Nothing more can be done about a temporary file that won't go.
        std::filesystem::remove(toFsPath(m_path), ignored);
    }
    m_path.clear();
}

Result<void> PendingFile::write(std::string_view bytes)
{
    if (!m_file)
        return Error{"cannot write '" + m_path + "': the file is closed"};
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), m_file) != bytes.size())
        return Error{"cannot write '" + m_path + "': " + systemReason(errno)};
    return {};
}

Result<void> PendingFile::close()
{
    if (!m_file)
        return {};
    std::FILE *file = m_file;
    m_file = nullptr;
    if (std::fclose(file) != 0)
        return Error{"cannot write '" + m_path + "': " + systemReason(errno)};
    return {};
}

Result<std::string> PendingFile::commitAs(const std::string &destination)
{
    if (Result<void> closed = close(); !closed)
        return closed.error();
    std::string reason;
    for (int n = 1; n <= kMaxNumberedVariants; ++n) {
        const std::string candidate = n == 1 ? destination : numberedVariant(destination, n);
        // Decided by the rename's own answer, not by a second look: another process may free
        // or take the name in between.
        switch (renameWithoutReplacing(m_path, candidate, reason)) {
        case RenameOutcome::Renamed:
            m_path.clear();
            return candidate;
        case RenameOutcome::NameTaken:
            continue;
        case RenameOutcome::Failed:
            return Error{"cannot create '" + candidate + "': " + reason};
        }
    }
    return Error{"cannot create '" + destination + "': every numbered variant of the name is taken"};
}

} // namespace tessaly
