#include "support/PathHelpers.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <system_error>

namespace tessaly {

bool isPathSeparator(char c)
{
#ifdef _WIN32
    return c == '\\' || c == '/';
#else
    return c == '/';
#endif
}

std::filesystem::path toFsPath(std::string_view utf8Path)
{
    const std::u8string text(utf8Path.begin(), utf8Path.end());
    return std::filesystem::path(text);
}

std::string fromFsPath(const std::filesystem::path &path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::string withTrailingSeparator(std::string path)
{
    if (path.empty() || !isPathSeparator(path.back()))
        path.push_back(kPathSeparator);
    return path;
}

std::string withoutTrailingSeparators(std::string path)
{
#ifdef _WIN32
    const auto isDriveRoot = [](const std::string &p) { return p.size() == 3 && p[1] == ':'; };
#else
    const auto isDriveRoot = [](const std::string &) { return false; };
#endif
    while (path.size() > 1 && isPathSeparator(path.back()) && !isDriveRoot(path))
        path.pop_back();
    return path;
}

std::vector<std::string> pathComponents(std::string_view relative)
{
    std::vector<std::string> components;
    std::size_t start = 0;
    while (start <= relative.size()) {
        std::size_t end = start;
        while (end < relative.size() && !isPathSeparator(relative[end]))
            ++end;
        const std::string_view part = relative.substr(start, end - start);
        if (!part.empty() && part != ".")
            components.emplace_back(part);
        start = end + 1;
    }
    return components;
}

std::string joinPath(const std::string &folder, std::string_view name)
{
    std::string joined = withTrailingSeparator(folder);
    joined.append(name);
    return joined;
}

std::string pathWithoutRoot(std::string_view path)
{
    std::size_t start = 0;
#ifdef _WIN32
    const bool isUnc = path.size() >= 2 && isPathSeparator(path[0]) && isPathSeparator(path[1]);
    if (isUnc) {
        // Skip "\\server\share\".
        start = 2;
        for (int component = 0; component < 2 && start < path.size(); ++component) {
            while (start < path.size() && !isPathSeparator(path[start]))
                ++start;
            if (start < path.size())
                ++start;
        }
    } else if (path.size() >= 2 && path[1] == ':') {
        start = 2;
    }
#endif
    while (start < path.size() && isPathSeparator(path[start]))
        ++start;
    return std::string(path.substr(start));
}

Result<std::string> readFileBytes(const std::string &path)
{
    std::ifstream input(toFsPath(path), std::ios::binary);
    if (!input)
        return Error{"cannot open '" + path + "': " + std::strerror(errno), FailureKind::Unreadable};
    std::string bytes{std::istreambuf_iterator<char>(input), std::istreambuf_iterator<char>()};
    if (input.bad())
        return Error{"cannot read '" + path + "': " + std::strerror(errno), FailureKind::Unreadable};
    return bytes;
}

} // namespace tessaly

std::string PathFileName(std::string_view path)
{
    if (path.empty())
        throw std::invalid_argument("PathFileName: the path is empty, so it has no file name");
    std::size_t position = path.size();
    while (position > 0 && !tessaly::isPathSeparator(path[position - 1]))
        --position;
    return std::string(path.substr(position));
}

std::string sourceName(std::string_view path)
{
    while (path.size() > 1 && tessaly::isPathSeparator(path.back()))
        path.remove_suffix(1);
    return PathFileName(path);
}

bool EnsureFolder(const std::string &path)
{
    if (path.empty())
        return false;
    std::error_code error;
    const std::filesystem::path folder = tessaly::toFsPath(path);
    std::filesystem::create_directories(folder, error);
    return std::filesystem::is_directory(folder, error);
}

bool FileExists(const std::string &path)
{
    std::error_code error;
    return std::filesystem::is_regular_file(tessaly::toFsPath(path), error);
}
