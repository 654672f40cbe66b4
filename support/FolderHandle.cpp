// What FolderHandle does the same way on every system: folders below, paths for people, and
// the place of a file. Each system's calls are in FolderHandlePosix.cpp and FolderHandleWindows.cpp.
#include "support/FolderHandle.h"

#include "support/PathHelpers.h"

#include <filesystem>

namespace tessaly {

Error FolderHandle::linkRefused(const std::string &path)
{
    return Error{"'" + path + "' is a symbolic link: not permitted below the output folder", FailureKind::NotPermitted};
}

Result<FolderHandle> FolderHandle::openBelow(std::string_view relative, std::vector<std::string> *created) const
{
    FolderHandle folder = *this;
    std::string madeRelative;
    for (const std::string &component : pathComponents(relative)) {
        if (component == "..")
            return Error{"'" + folder.pathOf(component) + "' leaves the output folder", FailureKind::NotPermitted};
        madeRelative += (madeRelative.empty() ? "" : "/") + component;
        Result<bool> made = folder.makeFolder(component);
        if (!made)
            return made.error();
        if (made.value() && created)
            created->push_back(madeRelative);
        Result<FolderHandle> next = folder.openExisting(component);
        if (!next)
            return next.error();
        folder = std::move(next).value();
    }
    return folder;
}

std::string FolderHandle::pathOf(std::string_view name) const
{
    return joinPath(m_path, name);
}

Result<FileInFolder> fileAt(const std::string &path)
{
    const std::filesystem::path fsPath = toFsPath(path);
    const std::filesystem::path parent = fsPath.parent_path();
    Result<FolderHandle> folder = FolderHandle::open(parent.empty() ? std::string(".") : fromFsPath(parent));
    if (!folder)
        return folder.error();
    return FileInFolder{std::move(folder).value(), fromFsPath(fsPath.filename())};
}

} // namespace tessaly
