// Folders made below a chosen folder without ever following a symbolic link placed there.
#pragma once

#include "support/Result.h"

#include <string>
#include <string_view>
#include <vector>

namespace tessaly {

/// Makes the folder `base`/`relative` one component at a time. `base` must exist (a link
/// there is followed: the user chose it). Below it, every component is opened without
/// following links (openat with O_NOFOLLOW), so a component that is a symbolic link, even to
/// a folder, is refused and nothing is written through it. ".." is refused too.
///
/// Returns the folders it created, outermost first, so that a caller can take them back;
/// fails with the path and the reason.
Result<std::vector<std::string>> makeFolderBelow(const std::string &base, std::string_view relative);

/// Removes those of `folders` (outermost first, as makeFolderBelow returns them) that are
/// empty, innermost first. A folder that holds anything stays, and so do its parents.
void removeEmptyFolders(const std::vector<std::string> &folders);

} // namespace tessaly
