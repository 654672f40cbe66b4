#include "conversion/MessageFolder.h"

#include "support/PathHelpers.h"
#include "support/Utf8.h"

#include <algorithm>
#include <filesystem>
#include <limits>
#include <system_error>
#include <tuple>

namespace tessaly {
namespace {

namespace fs = std::filesystem;

bool isFolder(const fs::path &path)
{
    std::error_code error;
    return fs::is_directory(fs::symlink_status(path, error));
}

/// The regular files directly in `folder` whose names do not start with a dot.
Result<std::vector<std::string>> visibleFileNames(const fs::path &folder)
{
    std::error_code error;
    fs::directory_iterator it(folder, fs::directory_options::none, error);
    if (error)
        return Error{"cannot list '" + fromFsPath(folder) + "': " + error.message(), FailureKind::Unreadable};
    std::vector<std::string> names;
    for (const fs::directory_iterator end; it != end; it.increment(error)) {
        if (error)
            return Error{"cannot list '" + fromFsPath(folder) + "': " + error.message(), FailureKind::Unreadable};
        std::error_code statusError;
        if (!fs::is_regular_file(it->symlink_status(statusError)) || statusError)
            continue;
        std::string name = fromFsPath(it->path().filename());
        if (!name.starts_with('.'))
            names.push_back(std::move(name));
    }
    return names;
}

/// The delivery time a Maildir file name starts with; files without one go last.
std::uint64_t deliveryTime(std::string_view name)
{
    std::uint64_t time = 0;
    std::size_t digits = 0;
    for (; digits < name.size() && name[digits] >= '0' && name[digits] <= '9' && digits < 19; ++digits)
        time = time * 10 + static_cast<std::uint64_t>(name[digits] - '0');
    return digits == 0 ? std::numeric_limits<std::uint64_t>::max() : time;
}

std::uint64_t fileBytes(const fs::path &path)
{
    std::error_code error;
    const auto size = fs::file_size(path, error);
    return error ? 0 : static_cast<std::uint64_t>(size);
}

} // namespace

std::string sourceFileIdentity(std::string_view relativePath)
{
    if (!relativePath.starts_with("cur/") && !relativePath.starts_with("new/"))
        return std::string(relativePath);
    const std::string_view name = relativePath.substr(4);
    return std::string(name.substr(0, name.find(':')));
}

bool isSourceFolder(const std::string &path)
{
    if (!isFolder(toFsPath(path)))
        return false;
    return (!path.empty() && isPathSeparator(path.back())) || isMaildir(path);
}

bool isMaildir(const std::string &path)
{
    const fs::path folder = toFsPath(path);
    return isFolder(folder / "cur") && isFolder(folder / "new");
}

Result<std::vector<MessageFolderFile>> messageFilesOf(const std::string &folder)
{
    std::vector<MessageFolderFile> files;
    const fs::path root = toFsPath(folder);
    if (isMaildir(folder)) {
        for (const char *sub : {"cur", "new"}) {
            Result<std::vector<std::string>> names = visibleFileNames(root / sub);
            if (!names)
                return names.error();
            for (const std::string &name : names.value())
                files.push_back(MessageFolderFile{fromFsPath(root / sub / toFsPath(name)),
                                                  std::string(sub) + "/" + name, maildirFlagNotes(name)});
        }
        std::sort(files.begin(), files.end(), [](const MessageFolderFile &a, const MessageFolderFile &b) {
            return sourceFilesInOrder(a.relativePath, b.relativePath);
        });
        return files;
    }
    Result<std::vector<std::string>> names = visibleFileNames(root);
    if (!names)
        return names.error();
    for (const std::string &name : names.value()) {
        if (asciiLowercase(name).ends_with(".eml"))
            files.push_back(MessageFolderFile{fromFsPath(root / toFsPath(name)), name, {}});
    }
    std::sort(files.begin(), files.end(), [](const MessageFolderFile &a, const MessageFolderFile &b) {
        return sourceFilesInOrder(a.relativePath, b.relativePath);
    });
    return files;
}

bool sourceFilesInOrder(std::string_view a, std::string_view b)
{
    const auto inMaildir = [](std::string_view path) { return path.starts_with("cur/") || path.starts_with("new/"); };
    if (!inMaildir(a) || !inMaildir(b))
        return namesInNaturalOrder(a, b);
    const std::string_view nameA = a.substr(4);
    const std::string_view nameB = b.substr(4);
    const std::uint64_t timeA = deliveryTime(nameA);
    const std::uint64_t timeB = deliveryTime(nameB);
    return timeA != timeB ? timeA < timeB : std::tie(nameA, a) < std::tie(nameB, b);
}

std::uint64_t sourceBytes(const std::string &path)
{
    if (!isSourceFolder(path))
        return fileBytes(toFsPath(path));
    Result<std::vector<MessageFolderFile>> files = messageFilesOf(path);
    std::uint64_t bytes = 0;
    if (files) {
        for (const MessageFolderFile &file : files.value())
            bytes += fileBytes(toFsPath(file.path));
    }
    return bytes;
}

Result<ByteRange> messageFilesInByteRange(const std::string &folder, ByteRange range)
{
    Result<std::vector<MessageFolderFile>> files = messageFilesOf(folder);
    if (!files)
        return files.error();
    ByteRange positions{files.value().size(), files.value().size()};
    std::uint64_t offset = 0;
    bool startFound = false;
    for (std::size_t i = 0; i < files.value().size(); ++i) {
        if (!startFound && offset >= range.start) {
            positions.start = i;
            startFound = true;
        }
        if (offset >= range.end) {
            positions.end = i;
            break;
        }
        offset += fileBytes(toFsPath(files.value()[i].path));
    }
    if (!startFound)
        positions.start = positions.end;
    return positions;
}

std::string maildirFlagNotes(std::string_view fileName)
{
    const std::size_t info = fileName.rfind(":2,");
    if (info == std::string_view::npos)
        return {};
    static constexpr std::pair<char, std::string_view> kFlags[] = {
        {'D', "draft"}, {'F', "flagged"}, {'P', "passed"}, {'R', "replied"}, {'S', "seen"}, {'T', "trashed"}};
    std::string notes;
    for (const auto &[letter, meaning] : kFlags) {
        if (fileName.find(letter, info + 3) == std::string_view::npos)
            continue;
        notes += notes.empty() ? "Maildir flags: " : ", ";
        notes += meaning;
    }
    return notes;
}

bool namesInNaturalOrder(std::string_view a, std::string_view b)
{
    auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            std::size_t endA = i;
            std::size_t endB = j;
            while (endA < a.size() && isDigit(a[endA]))
                ++endA;
            while (endB < b.size() && isDigit(b[endB]))
                ++endB;
            // Leading zeros do not make a number larger.
            std::string_view numberA = a.substr(i, endA - i);
            std::string_view numberB = b.substr(j, endB - j);
            while (numberA.size() > 1 && numberA[0] == '0')
                numberA.remove_prefix(1);
            while (numberB.size() > 1 && numberB[0] == '0')
                numberB.remove_prefix(1);
            if (numberA.size() != numberB.size())
                return numberA.size() < numberB.size();
            if (numberA != numberB)
                return numberA < numberB;
            i = endA;
            j = endB;
            continue;
        }
        if (a[i] != b[j])
            return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
        ++i;
        ++j;
    }
    if (a.size() - i != b.size() - j)
        return a.size() - i < b.size() - j;
    return a < b;
}

} // namespace tessaly
