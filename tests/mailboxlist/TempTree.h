// A temporary folder tree for scan tests, removed at the end of the test.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace tessaly::testing {

class TempTree
{
public:
    TempTree()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "tessaly-scan-XXXXXX").string();
        m_root = ::mkdtemp(pattern.data());
    }
    ~TempTree()
    {
        std::error_code ignored;
        std::filesystem::permissions(m_root, std::filesystem::perms::owner_all, ignored);
        std::filesystem::remove_all(m_root, ignored);
    }
    TempTree(const TempTree &) = delete;
    TempTree &operator=(const TempTree &) = delete;

    const std::filesystem::path &root() const { return m_root; }
    std::string path(const std::string &relative) const { return (m_root / relative).string(); }

    /// Creates the file (and its folders) with a line of text.
    void file(const std::string &relative) const
    {
        const std::filesystem::path full = m_root / relative;
        std::filesystem::create_directories(full.parent_path());
        std::ofstream(full) << "From x\n";
    }
    void folder(const std::string &relative) const { std::filesystem::create_directories(m_root / relative); }

private:
    std::filesystem::path m_root;
};

} // namespace tessaly::testing
