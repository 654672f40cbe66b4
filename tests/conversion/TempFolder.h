// A fresh temporary folder for one test, removed with everything in it afterwards.
#pragma once

#include "PathHelpers.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace tessaly::testing {

class TempFolder
{
public:
    TempFolder()
    {
        m_path = std::filesystem::temp_directory_path() /
                 ("tessaly-conversion-" + std::to_string(std::random_device{}()) +
                  std::to_string(std::random_device{}()));
        std::filesystem::create_directories(m_path);
    }
    ~TempFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    TempFolder(const TempFolder &) = delete;
    TempFolder &operator=(const TempFolder &) = delete;

    std::string path() const { return fromFsPath(m_path); }
    std::string file(const std::string &relative) const { return fromFsPath(m_path / relative); }

    /// Writes `bytes` to `relative` (creating its folders) and returns its full path.
    std::string write(const std::string &relative, const std::string &bytes) const
    {
        const std::filesystem::path target = m_path / relative;
        std::filesystem::create_directories(target.parent_path());
        std::ofstream(target, std::ios::binary) << bytes;
        return fromFsPath(target);
    }

    /// The names of the files in `folder`, sorted.
    static std::vector<std::string> fileNames(const std::string &folder)
    {
        std::vector<std::string> names;
        std::error_code error;
        for (const auto &entry : std::filesystem::directory_iterator(toFsPath(folder), error))
            names.push_back(fromFsPath(entry.path().filename()));
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    std::filesystem::path m_path;
};

} // namespace tessaly::testing
