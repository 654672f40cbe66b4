#include "cli/CommandLineRun.h"

#include "cli/ConsoleProgress.h"
#include "conversion/ConversionRun.h"
#include "conversion/MailboxShards.h"
#include "conversion/MessageFolder.h"
#include "conversion/MessageIndex.h"
#include "mailboxlist/FolderScan.h"
#include "support/PathHelpers.h"

#include <filesystem>
#include <system_error>

namespace tessaly {
namespace {

std::string absolutePath(const std::string &path)
{
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(toFsPath(path), error);
    return error ? path : fromFsPath(absolute.lexically_normal());
}

std::vector<std::uint64_t> mailboxSizes(const std::vector<std::string> &mailboxes)
{
    std::vector<std::uint64_t> sizes;
    for (const std::string &mailbox : mailboxes) {
        sizes.push_back(sourceBytes(mailbox));
    }
    return sizes;
}

} // namespace

MailboxSelection selectMailboxes(const std::vector<std::string> &inputs)
{
    MailboxSelection selection;
    for (const std::string &input : inputs) {
        const std::string path = absolutePath(input);
        std::error_code error;
        if (!std::filesystem::is_directory(toFsPath(path), error)) {
            selection.mailboxes.push_back(path); // a missing file is reported by the run
            continue;
        }
        FolderScanResult scan = scanFolderForMailboxes(path);
        if (scan.mailboxes.empty())
            selection.warnings.push_back("'" + input + "': no mailbox in this folder");
        if (scan.unreadableFolders > 0)
            selection.warnings.push_back("'" + input + "': " + std::to_string(scan.unreadableFolders) +
                                         " folder(s) could not be read and were skipped");
        selection.mailboxes.insert(selection.mailboxes.end(), scan.mailboxes.begin(), scan.mailboxes.end());
    }
    return selection;
}

RunReport runFromCommandLine(const CliOptions &options, const std::vector<std::string> &mailboxes,
                             ConcurrentMailConverterFactory makeConverter, MessageReaderFactory makeReader,
                             std::ostream &progressStream, bool progressIsTerminal, std::function<bool()> stopRequested)
{
    // With --shard, this process's share: whole mailboxes and ranges of large ones.
    std::vector<MailboxRow> rows = wholeMailboxRows(mailboxes);
    std::vector<MailboxFailure> unshareable;
    if (options.shard) {
        std::vector<MailboxFile> files;
        const std::vector<std::uint64_t> sizes = mailboxSizes(mailboxes);
        for (std::size_t i = 0; i < mailboxes.size(); ++i)
            files.push_back(MailboxFile{mailboxes[i], sizes[i]});
        rows.clear();
        for (const MailboxWork &work : shardWork(std::move(files), *options.shard, options.splitOver)) {
            std::optional<ByteRange> range;
            if (work.range) {
                // A source folder is divided between whole message files.
                Result<ByteRange> aligned = isSourceFolder(work.path) ? messageFilesInByteRange(work.path, *work.range)
                                                                      : alignToSeparators(work.path, *work.range);
                if (!aligned) {
                    unshareable.push_back(MailboxFailure{work.path, aligned.error()});
                    continue;
                }
                // A range inside one message larger than the range holds no message of its own.
                if (aligned.value().start == aligned.value().end)
                    continue;
                range = aligned.value();
            }
            rows.push_back(MailboxRow{work.path, range});
        }
    }

    RunSettings settings{options.naming, options.attachments, {}};
    settings.index.convertAgain = options.force;
    settings.index.setFileTimes = options.keepFileTimes;
    if (options.shard)
        settings.index.indexFileName = indexFileName(options.shard->index, options.shard->count);
    ConsoleProgress progress(progressStream, progressIsTerminal);
    ConversionRun run(std::move(rows), std::move(settings), progress, std::move(makeConverter), std::move(makeReader));
    run.stopWhen(std::move(stopRequested));
    RunReport report = run.convertInto(absolutePath(options.outputFolder));
    report.failedMailboxes.insert(report.failedMailboxes.end(), unshareable.begin(), unshareable.end());
    return report;
}

} // namespace tessaly
