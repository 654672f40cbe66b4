// window_scan_bench: the folder scan through the window, grid and all, over tens of thousands
// of files (offscreen). Prints figures; asserts nothing.
#include "app/frmStep1.h"
#include "platform/Platform.h"

#include <QApplication>
#include <QPushButton>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

/// Answers the folder dialog with one folder, keeps the last message, and lets the window
/// repaint as the real pump would, at most every few milliseconds.
class BenchPlatform : public tessaly::Platform
{
public:
    explicit BenchPlatform(std::string folder) : m_folder(std::move(folder)) {}
    const std::string &lastMessage() const { return m_lastMessage; }

    tessaly::MessageBoxAnswer showMessageBox(const std::string &text, tessaly::MessageBoxStyle) override
    {
        m_lastMessage = text;
        return tessaly::MessageBoxAnswer::Ok;
    }
    std::string BrowseForFolder(const std::string &) override { return m_folder; }
    std::vector<std::string> chooseFilesToOpen(const std::string &) override { return {}; }
    void processPendingEvents() override
    {
        const auto now = std::chrono::steady_clock::now();
        if (now - m_lastPump > std::chrono::milliseconds(15)) {
            QCoreApplication::processEvents();
            m_lastPump = now;
        }
    }
    void setWaitCursor(bool) override {}
    bool ShellOpen(const std::string &) override { return false; }

private:
    std::string m_folder;
    std::string m_lastMessage = "(none)";
    std::chrono::steady_clock::time_point m_lastPump = std::chrono::steady_clock::now();
};

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const int folders = argc > 1 ? std::atoi(argv[1]) : 300;
    const int mailboxesPerFolder = argc > 2 ? std::atoi(argv[2]) : 100;

    std::string pattern = (fs::temp_directory_path() / "tessaly-window-bench-XXXXXX").string();
    const fs::path root = ::mkdtemp(pattern.data());
    for (int folder = 0; folder < folders; ++folder) {
        const fs::path dir = root / ("d" + std::to_string(folder % 20)) / ("e" + std::to_string(folder));
        fs::create_directories(dir);
        for (int file = 0; file < mailboxesPerFolder; ++file)
            std::ofstream(dir / ("mailbox" + std::to_string(file) + ".mbox"));
    }

    BenchPlatform platform(root.string());
    tessaly::frmStep1 window(platform, tessaly::ConcurrentMailConverterFactory{}, {});
    window.show();

    const auto started = std::chrono::steady_clock::now();
    window.findChild<QPushButton *>(QStringLiteral("CmdAddFolder"))->click();
    const auto ended = std::chrono::steady_clock::now();

    std::printf("mailboxes: %d in %d folders\n", folders * mailboxesPerFolder, folders);
    std::printf("message: %s\n", platform.lastMessage().c_str());
    std::printf("scan and fill the grid: %.1f ms\n",
                std::chrono::duration<double, std::milli>(ended - started).count());
    fs::remove_all(root);
    return 0;
}
