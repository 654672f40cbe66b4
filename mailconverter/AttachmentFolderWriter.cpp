// Saves a message's attachments in a folder beside its PDF, never replacing a file.
#include "AttachmentFolderWriter.h"

#include "AttachmentNames.h"
#include "PathHelpers.h"
#include "PendingFile.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace tessaly {
namespace {

constexpr int kMaxNumberedVariants = 9999;

std::string systemReason(int errorNumber)
{
    return std::generic_category().message(errorNumber);
}

/// Opens `path` for writing only if nothing, not even a dangling symbolic link, is there:
/// "x" means O_CREAT|O_EXCL, which never follows a link.
std::FILE *createExclusively(const std::string &path)
{
#ifdef _WIN32
    return _wfopen(toFsPath(path).c_str(), L"wbx");
#else
    return std::fopen(path.c_str(), "wbx");
#endif
}

Result<void> writeWhole(std::FILE *file, const std::string &path, std::string_view bytes)
{
    const bool written = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    const int writeError = errno;
    const bool closed = std::fclose(file) == 0;
    if (written && closed)
        return {};
    std::error_code ignored; // the error below is what matters; a half file must not stay
    std::filesystem::remove(toFsPath(path), ignored);
    return Error{"cannot write '" + path + "': " + systemReason(written ? errno : writeError)};
}

} // namespace

std::string attachmentFolderFor(const std::string &pdfPath)
{
    std::string base = pdfPath;
    const std::string_view name = std::string_view(pdfPath).substr(pdfPath.size() - PathFileName(pdfPath).size());
    if (name.size() > 4) {
        std::string extension(name.substr(name.size() - 4));
        for (char &c : extension)
            c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
        if (extension == ".pdf")
            base.resize(base.size() - 4);
    }
    return base + " attachments";
}

std::string likelyCommittedPath(const std::string &destination)
{
    std::error_code error;
    if (!std::filesystem::exists(std::filesystem::symlink_status(toFsPath(destination), error)))
        return destination;
    for (int n = 2; n <= kMaxNumberedVariants; ++n) {
        std::string candidate = numberedVariant(destination, n);
        if (!std::filesystem::exists(std::filesystem::symlink_status(toFsPath(candidate), error)))
            return candidate;
    }
    return destination;
}

std::string relativeFileUrl(std::string_view relativePath)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string url;
    for (char c : relativePath) {
        const auto byte = static_cast<unsigned char>(c);
        const bool unreserved = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z')
            || (byte >= '0' && byte <= '9') || byte == '-' || byte == '.' || byte == '_' || byte == '~' || byte == '/';
        if (unreserved) {
            url.push_back(c);
        } else {
            url.push_back('%');
            url.push_back(kHex[byte >> 4]);
            url.push_back(kHex[byte & 0xF]);
        }
    }
    return url;
}

AttachmentFolderPlan planAttachmentFolder(const std::string &pdfPath, const std::vector<std::string> &names)
{
    AttachmentFolderPlan plan;
    plan.folder = attachmentFolderFor(pdfPath);
    const std::string folderName = PathFileName(plan.folder);

    UniqueNames taken;
    std::error_code error;
    for (auto it = std::filesystem::directory_iterator(toFsPath(plan.folder), error);
         !error && it != std::filesystem::directory_iterator(); it.increment(error))
        taken.reserve(fromFsPath(it->path().filename()));

    for (const std::string &name : names) {
        std::string fileName = taken.claim(name);
        plan.hrefs.push_back(relativeFileUrl(folderName + "/" + fileName));
        plan.fileNames.push_back(std::move(fileName));
    }
    return plan;
}

Result<std::vector<std::string>> writeAttachmentFolder(const AttachmentFolderPlan &plan,
                                                        const std::vector<AttachmentFile> &files,
                                                        std::vector<std::string> &warnings)
{
    std::vector<std::string> written;
    if (files.empty())
        return written;
    if (!EnsureFolder(plan.folder))
        return Error{"cannot create the folder '" + plan.folder + "'"};

    for (std::size_t i = 0; i < files.size() && i < plan.fileNames.size(); ++i) {
        const std::string &planned = plan.fileNames[i];
        std::string path;
        std::FILE *file = nullptr;
        for (int n = 1; n <= kMaxNumberedVariants && !file; ++n) {
            path = joinPath(plan.folder, n == 1 ? planned : numberedName(planned, n));
            file = createExclusively(path);
            if (!file && errno != EEXIST)
                return Error{"cannot create '" + path + "': " + systemReason(errno)};
        }
        if (!file)
            return Error{"cannot create '" + joinPath(plan.folder, planned) + "': every numbered variant is taken"};
        if (path != joinPath(plan.folder, planned))
            warnings.push_back("'" + planned + "' was taken meanwhile; the attachment was saved as '" + path
                               + "' and its link in the PDF does not reach it");
        if (Result<void> done = writeWhole(file, path, files[i].bytes); !done)
            return done.error();
        written.push_back(std::move(path));
    }
    return written;
}

} // namespace tessaly
