// Splitting benchmark: how fast each mode cuts a mailbox into message files, and at what
// peak memory. Prints MB/s, messages/s and peak RSS for line mode, block mode and a whole
// conversion run with a converter that does nothing, then Python's mailbox module on the
// same file for comparison.
//
// Usage: split_bench MAILBOX [--skip-python]
// Make a mailbox with generate_mailbox.py.

#include "conversion/ConversionRun.h"
#include "conversion/MailboxFileReader.h"
#include "conversion/MailboxReader.h"
#include "conversion/MessageFile.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace tessaly;

namespace {

struct Figures
{
    double seconds = 0;
    std::uint64_t bytes = 0;
    long messages = 0;
};

double peakRssMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

/// User plus system time so far: on a busy machine, the figure that others' load disturbs least.
double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval &t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

void printRow(const char *label, const Figures &figures, double cpu, double peakRss)
{
    const double megabytes = static_cast<double>(figures.bytes) / (1024.0 * 1024.0);
    std::printf("%-30s %8.1f MB/s %8.1f MB/s of CPU %9.0f messages/s %8.1f MB peak RSS\n", label,
                megabytes / figures.seconds, megabytes / cpu, static_cast<double>(figures.messages) / figures.seconds,
                peakRss);
    std::fflush(stdout);
}

/// Splits in one of the two modes, writing and deleting each message file as a run does
/// (unless `folder` is empty: then it only splits and hashes, to show the reader's own share).
Figures splitToFiles(const std::string &mailbox, const std::string &folder, SplitMode mode)
{
    Figures figures;
    int number = 0;
    const std::optional<FolderHandle> output =
        folder.empty() ? std::nullopt : std::optional<FolderHandle>(FolderHandle::open(folder).value());
    SpillFiles spill;
    if (output)
        spill.make = [&output] { return PendingFile::createIn(*output); };
    MailboxReader reader(
        mode,
        [&](const SplitMessage &message) {
            if (!output)
                return;
            Result<FileInFolder> written = writeMessageFile(*output, ++number, message);
            if (!written) {
                std::fprintf(stderr, "error: %s\n", written.error().message.c_str());
                std::exit(1);
            }
            if (Result<void> removed = removeMessageFile(written.value()); !removed) {
                std::fprintf(stderr, "error: %s\n", removed.error().message.c_str());
                std::exit(1);
            }
        },
        0, std::move(spill));

    const auto start = std::chrono::steady_clock::now();
    Result<MailboxFileReader> file = MailboxFileReader::open(mailbox);
    if (!file) {
        std::fprintf(stderr, "error: '%s': %s\n", mailbox.c_str(), file.error().message.c_str());
        std::exit(1);
    }
    if (Result<void> read = reader.readToEnd(file.value()); !read) {
        std::fprintf(stderr, "error: '%s': %s\n", mailbox.c_str(), read.error().message.c_str());
        std::exit(1);
    }
    figures.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    figures.bytes = file.value().bytesRead();
    figures.messages = reader.finishedCount();
    return figures;
}

class DoNothingConverter : public MailConverter
{
public:
    using MailConverter::Convert;
    Result<ConvertedMessage> Convert(const FileInFolder &, const FileInFolder &destination,
                                     const std::string &) override
    {
        return ConvertedMessage{destination.path(), 0, 0, {}};
    }
};

class FixedReader : public MessageReader
{
public:
    bool LoadMessage(std::string_view) override { return true; }
    std::string Subject() const override { return "Quarterly report"; }
    std::string From() const override { return "Ann"; }
    std::optional<MessageDateTime> Date() const override { return MessageDateTime{2021, 3, 5, 0, 0, 0}; }
};

/// A whole run: probe, split, message files, naming, a converter that does nothing, deletion.
Figures wholeRun(const std::string &mailbox, const std::string &outputFolder)
{
    RunObserver observer;
    RunSettings settings;
    settings.naming = NamingOption::OptSD;
    ConversionRun run(
        wholeMailboxRows({mailbox}), settings, observer,
        []() -> Result<std::unique_ptr<MailConverter>> {
            return std::unique_ptr<MailConverter>(new DoNothingConverter);
        },
        [] { return std::unique_ptr<MessageReader>(new FixedReader); });
    const auto start = std::chrono::steady_clock::now();
    const RunReport report = run.convertInto(outputFolder);
    Figures figures;
    figures.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    figures.bytes = report.bytesRead;
    figures.messages = report.messagesConverted;
    if (!report.failedMailboxes.empty() || !report.failedMessages.empty())
        std::fprintf(stderr, "warning: the run reported failures\n");
    return figures;
}

/// Runs `measure` in a child process, so each row's peak RSS is its own.
void inChild(const char *label, const std::function<Figures()> &measure)
{
    std::fflush(stdout);
    const pid_t child = fork();
    if (child == 0) {
        const double cpuBefore = cpuSeconds();
        const Figures figures = measure();
        printRow(label, figures, cpuSeconds() - cpuBefore, peakRssMegabytes());
        std::_Exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
}

void pythonPeer(const std::string &mailbox)
{
    const std::string command = "python3 -c 'import mailbox, os, sys, time, resource\n"
                                "p = sys.argv[1]\n"
                                "t = time.monotonic(); c0 = time.process_time()\n"
                                "n = len(mailbox.mbox(p, create=False).keys())\n"
                                "s = time.monotonic() - t\n"
                                "mb = os.path.getsize(p) / 1048576.0\n"
                                "rss = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss / 1024.0\n"
                                "c = time.process_time() - c0\n"
                                "print(\"%-30s %8.1f MB/s %8.1f MB/s of CPU %9.0f messages/s %8.1f MB peak "
                                "RSS\" % (\"python mailbox keys() (peer)\", mb / s, mb / c, n / s, rss))' '" +
                                mailbox + "'";
    if (std::system(command.c_str()) != 0)
        std::fprintf(stderr, "warning: python3 could not run the peer measurement\n");
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: split_bench MAILBOX [--skip-python]\n");
        return 2;
    }
    const std::string mailbox = argv[1];
    const bool skipPython = argc > 2 && std::string(argv[2]) == "--skip-python";

    std::error_code error;
    const auto size = std::filesystem::file_size(mailbox, error);
    if (error) {
        std::fprintf(stderr, "error: '%s': %s\n", mailbox.c_str(), error.message().c_str());
        return 1;
    }
    const std::filesystem::path work =
        std::filesystem::temp_directory_path() / ("tessaly-split-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(work / "files");
    std::printf("mailbox %s, %.1f MB\n", mailbox.c_str(), static_cast<double>(size) / (1024.0 * 1024.0));

    inChild("line mode (split only)", [&] { return splitToFiles(mailbox, {}, SplitMode::Line); });
    inChild("block mode (split only)", [&] { return splitToFiles(mailbox, {}, SplitMode::Block); });
    inChild("line mode (split+write+del)",
            [&] { return splitToFiles(mailbox, (work / "files").string(), SplitMode::Line); });
    inChild("block mode (split+write+del)",
            [&] { return splitToFiles(mailbox, (work / "files").string(), SplitMode::Block); });
    inChild("whole run, null converter", [&] { return wholeRun(mailbox, (work / "run").string()); });
    if (!skipPython)
        pythonPeer(mailbox);

    std::filesystem::remove_all(work, error);
    return 0;
}
