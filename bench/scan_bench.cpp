// scan_bench: how long the folder scan takes over a tree of many files, and how long adding
// its matches to the mailbox list takes. Prints figures; asserts nothing.
#include "mailboxlist/FolderScan.h"
#include "mailboxlist/MailboxList.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

int main(int argc, char *argv[])
{
    const int folders = argc > 1 ? std::atoi(argv[1]) : 500;
    const int filesPerFolder = argc > 2 ? std::atoi(argv[2]) : 100;

    std::string pattern = (fs::temp_directory_path() / "tessaly-scan-bench-XXXXXX").string();
    const fs::path root = ::mkdtemp(pattern.data());
    for (int folder = 0; folder < folders; ++folder) {
        // Three levels, so the walk's queue really grows and shrinks.
        const fs::path dir = root / ("a" + std::to_string(folder % 10)) / ("b" + std::to_string(folder % 50)) /
                             ("c" + std::to_string(folder));
        fs::create_directories(dir);
        for (int file = 0; file < filesPerFolder; ++file) {
            const char *extension = file % 4 == 0   ? ".mbox"
                                    : file % 4 == 1 ? ".MBX"
                                    : file % 4 == 2 ? ".txt"
                                                    : ".mbox.old";
            std::ofstream(dir / ("f" + std::to_string(file) + extension));
        }
    }

    const auto started = std::chrono::steady_clock::now();
    const tessaly::FolderScanResult result = tessaly::scanFolderForMailboxes(root.string());
    const auto scanned = std::chrono::steady_clock::now();
    tessaly::MailboxList list;
    for (const std::string &path : result.mailboxes)
        list.AddFileToList(path);
    const auto listed = std::chrono::steady_clock::now();

    const auto ms = [](auto duration) { return std::chrono::duration<double, std::milli>(duration).count(); };
    std::printf("files: %d in %d folders\n", folders * filesPerFolder, folders);
    std::printf("mailboxes found: %zu\n", result.mailboxes.size());
    std::printf("scan: %.1f ms (%.2f us per file)\n", ms(scanned - started),
                ms(scanned - started) * 1000.0 / (folders * filesPerFolder));
    std::printf("adding to the list: %.1f ms\n", ms(listed - scanned));

    fs::remove_all(root);
    return 0;
}
