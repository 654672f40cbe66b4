#include "support/FileMark.h"

#include "support/Sha256.h"

#ifdef __linux__
#include <sys/xattr.h>
#endif

namespace tessaly {
namespace {

#ifdef __linux__
constexpr const char *kMarkAttribute = "user.tessaly.message";
constexpr std::size_t kMaxMarkBytes = 256;
#endif
constexpr std::size_t kDigestChunkBytes = std::size_t{1} << 20;
// 64 bits of the digest: ample to tell messages apart, short enough to keep the mark small.
constexpr std::size_t kMarkDigestDigits = 16;

} // namespace

Result<std::string> fileDigest(const OpenFile &file)
{
    Sha256 digest;
    std::string chunk(kDigestChunkBytes, '\0');
    for (std::uint64_t offset = 0;;) {
        Result<std::size_t> read = file.readAt(offset, chunk.data(), chunk.size());
        if (!read)
            return read.error();
        if (read.value() == 0)
            break;
        digest.add(std::string_view(chunk.data(), read.value()));
        offset += read.value();
    }
    return digest.hexDigest();
}

std::string messageMark(std::string_view digest, std::string_view messageFileName)
{
    return std::string(digest.substr(0, kMarkDigestDigits)) + ' ' + std::string(messageFileName);
}

void setFileMark(const OpenFile &file, std::string_view mark)
{
#ifdef __linux__
    if (!mark.empty() && file.isOpen())
        (void)::fsetxattr(file.descriptor(), kMarkAttribute, mark.data(), mark.size(), 0);
#else
    (void)file;
    (void)mark;
#endif
}

std::string fileMark(const OpenFile &file)
{
#ifdef __linux__
    char mark[kMaxMarkBytes];
    const ssize_t length = file.isOpen() ? ::fgetxattr(file.descriptor(), kMarkAttribute, mark, sizeof mark) : -1;
    return length > 0 ? std::string(mark, static_cast<std::size_t>(length)) : std::string();
#else
    (void)file;
    return {};
#endif
}

std::string fileMark(const FolderHandle &folder, std::string_view name)
{
    Result<OpenFile> file = folder.openForReading(name);
    return file ? fileMark(file.value()) : std::string();
}

} // namespace tessaly
