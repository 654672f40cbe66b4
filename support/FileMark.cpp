#include "support/FileMark.h"

#ifdef __linux__
#include <sys/xattr.h>
#endif

namespace tessaly {
namespace {

#ifdef __linux__
constexpr const char *kMarkAttribute = "user.tessaly.message";
constexpr std::size_t kMaxMarkBytes = 256;
#endif

} // namespace

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
