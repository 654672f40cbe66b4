// A fresh temporary folder for one test, removed with everything in it when the test ends.
#pragma once

#include "support/PathHelpers.h"

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
        // create_directory says false when the name is taken, so a clash only costs another draw.
        std::random_device random;
        do {
            m_root = std::filesystem::temp_directory_path() /
                     ("tessaly-test-" + std::to_string(random()) + "-" + std::to_string(random()));
        } while (!std::filesystem::create_directory(m_root));
    }
    ~TempFolder()
    {
        // A test may have locked the folder itself; what it locked inside, it unlocks.
        std::error_code ignored;
        std::filesystem::permissions(m_root, std::filesystem::perms::owner_all, ignored);
        std::filesystem::remove_all(m_root, ignored);
    }
    TempFolder(const TempFolder &) = delete;
    TempFolder &operator=(const TempFolder &) = delete;

    const std::filesystem::path &root() const { return m_root; }
    std::string path() const { return fromFsPath(m_root); }

    /// The full path of `relative` (UTF-8) inside the folder; nothing is created.
    std::string file(const std::string &relative) const { return fromFsPath(m_root / toFsPath(relative)); }

    /// Creates the folder `relative` (and its parents) and returns its full path.
    std::string folder(const std::string &relative) const
    {
        std::filesystem::create_directories(m_root / toFsPath(relative));
        return file(relative);
    }

    /// Writes `bytes` to `relative` (creating its folders) and returns its full path.
    std::string write(const std::string &relative, const std::string &bytes) const
    {
        const std::filesystem::path target = m_root / toFsPath(relative);
        std::filesystem::create_directories(target.parent_path());
        std::ofstream(target, std::ios::binary) << bytes;
        return fromFsPath(target);
    }

    /// The names of the entries in `folder`, sorted.
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
    std::filesystem::path m_root;
};

} // namespace tessaly::testing
