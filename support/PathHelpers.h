// Path, folder and file helpers that know the platform's path separators.
#pragma once

#include "support/Result.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly {

/// The separator this platform writes between path components.
#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

/// True for a character that separates path components here: "/" on POSIX (where a
/// backslash is an ordinary file-name character), "\" and "/" on Windows.
bool isPathSeparator(char c);

/// A path given as UTF-8, as the file system wants it (wide on Windows).
std::filesystem::path toFsPath(std::string_view utf8Path);
/// A file-system path as UTF-8.
std::string fromFsPath(const std::filesystem::path &path);

/// `path` with one separator appended unless it already ends in one.
std::string withTrailingSeparator(std::string path);
/// `path` without the separators it ends in; a root ("/", "C:\\") keeps its own.
std::string withoutTrailingSeparators(std::string path);

/// The components of the relative path `relative`, outermost first, without the empty ones
/// and "." ("a//./b/" is "a", "b"); ".." is a component like any other.
std::vector<std::string> pathComponents(std::string_view relative);

/// `folder`, a separator (unless `folder` ends in one) and `name`.
std::string joinPath(const std::string &folder, std::string_view name);

/// `path` without its root: the leading "/" on POSIX; the drive ("C:\"), the UNC
/// server and share ("\\srv\share\") or the leading separators on Windows.
/// A relative path comes back unchanged.
std::string pathWithoutRoot(std::string_view path);

/// The whole content of the file at `path`; fails with the path and the OS reason.
Result<std::string> readFileBytes(const std::string &path);

} // namespace tessaly

/// The last component of `path`: the text after its last separator, the whole path when it
/// has none, and "" when it ends in a separator. Throws std::invalid_argument for "".
std::string PathFileName(std::string_view path);

/// The name a mail source goes by in messages: PathFileName, but a folder named with a
/// trailing separator ("/home/ann/Maildir/") gives its own name ("Maildir").
std::string sourceName(std::string_view path);

/// Creates `path` as a folder together with every missing parent. Returns true when the
/// folder exists afterwards; false (never throws) when it cannot be made, for example
/// because a file stands where one of the folders must go or permission is denied.
bool EnsureFolder(const std::string &path);

/// True when a regular file exists at `path`; false for a folder or nothing.
bool FileExists(const std::string &path);
