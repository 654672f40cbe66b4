#include "cli/CliOptions.h"

#include "cli/OptionValue.h"
#include "support/ByteSize.h"
#include "support/TextHelpers.h"

#include <array>
#include <charconv>
#include <utility>

namespace tessaly {
namespace {

/// Where --help's table of naming names and captions has its two columns.
constexpr std::size_t kNamingNameColumn = 28;
constexpr std::size_t kNamingCaptionColumn = 52;

Error usageError(const std::string &message)
{
    return Error{message + "\ntry 'tessaly-cli --help' for more information", FailureKind::UsageError};
}

Result<AttachmentMode> parseAttachments(std::string_view value)
{
    if (value == "none")
        return AttachmentMode::ListOnly;
    if (value == "embed")
        return AttachmentMode::Embed;
    if (value == "folder")
        return AttachmentMode::Folder;
    return usageError("unknown --attachments value '" + std::string(value) + "' (use none, embed or folder)");
}

/// Seconds, whole or decimal, above zero and at most a day.
Result<std::chrono::milliseconds> parseTimeout(std::string_view value)
{
    constexpr double kLongestTimeout = 24 * 3600;
    double seconds = 0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), seconds);
    if (error != std::errc() || end != value.data() + value.size() || !(seconds > 0) || seconds > kLongestTimeout)
        return usageError("--message-timeout needs a number of seconds (at most a day), not '" + std::string(value) +
                          "'");
    return std::chrono::milliseconds(static_cast<long long>(seconds * 1000 + 0.5));
}

} // namespace

Result<CliOptions> parseCommandLine(const std::vector<std::string_view> &arguments)
{
    CliOptions options;
    bool onlyInputsFollow = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view argument = arguments[i];
        if (onlyInputsFollow || argument.empty() || argument.front() != '-' || argument == "-") {
            options.inputs.emplace_back(argument);
            continue;
        }
        if (argument == "--") {
            onlyInputsFollow = true;
            continue;
        }
        if (argument == "--help" || argument == "-h") {
            options.showHelp = true;
            return options;
        }
        if (argument == "--version") {
            options.showVersion = true;
            return options;
        }
        if (argument == "--force" || argument == "--embed-source" || argument == "--keep-file-times" ||
            argument == "--no-file-times") {
            if (argument == "--force")
                options.force = true;
            else if (argument == "--embed-source")
                options.embedSource = true;
            else
                options.keepFileTimes = argument == "--keep-file-times";
            continue;
        }

        Result<OptionValue> option =
            readOptionValue(arguments, i,
                            {"--output", "-o", "--naming", "--attachments", "--format", "--message-timeout",
                             "--message-memory", "--shard", "--split-over", "--jobs", "--message-pages"});
        if (!option)
            return usageError(option.error().message);
        const auto [name, value] = option.value();
        if (name == "--output" || name == "-o") {
            if (value.empty())
                return usageError("--output needs a folder");
            options.outputFolder = std::string(value);
        } else if (name == "--naming") {
            const std::optional<NamingOption> naming = namingOptionForCliName(value);
            if (!naming)
                return usageError("unknown --naming value '" + std::string(value) + "'");
            options.naming = *naming;
        } else if (name == "--attachments") {
            Result<AttachmentMode> choice = parseAttachments(value);
            if (!choice)
                return choice.error();
            options.attachments = choice.value();
        } else if (name == "--message-timeout") {
            Result<std::chrono::milliseconds> timeout = parseTimeout(value);
            if (!timeout)
                return timeout.error();
            options.limits.messageTimeout = timeout.value();
        } else if (name == "--message-memory") {
            const std::optional<std::uint64_t> memory = parseByteSize(value);
            if (!memory)
                return usageError("--message-memory needs a size such as 800M or 1.5G, not '" + std::string(value) +
                                  "'");
            options.limits.memoryBytes = *memory;
        } else if (name == "--jobs") {
            constexpr int kMostJobs = 256;
            int jobs = 0;
            const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), jobs);
            if (error != std::errc() || end != value.data() + value.size() || jobs < 1 || jobs > kMostJobs)
                return usageError("--jobs needs a number of messages from 1 to 256, not '" + std::string(value) + "'");
            options.jobs = jobs;
        } else if (name == "--message-pages") {
            constexpr int kMostPages = 1000000;
            int pages = 0;
            const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), pages);
            if (error != std::errc() || end != value.data() + value.size() || pages < 1 || pages > kMostPages)
                return usageError("--message-pages needs a number of pages from 1 to 1000000, not '" +
                                  std::string(value) + "'");
            options.messagePages = pages;
        } else if (name == "--shard") {
            options.shard = parseShardChoice(value);
            if (!options.shard)
                return usageError("--shard needs K/N with 0 <= K < N, not '" + std::string(value) + "'");
        } else if (name == "--split-over") {
            const std::optional<std::uint64_t> size = parseByteSize(value);
            if (!size)
                return usageError("--split-over needs a size such as 4096, 512M or 1G, not '" + std::string(value) +
                                  "'");
            options.splitOver = *size;
        } else if (name == "--format") {
            if (value == "pdf")
                options.format = OutputFormat::Pdf;
            else if (value == "eml")
                options.format = OutputFormat::Eml;
            else
                return usageError("unknown --format value '" + std::string(value) + "' (use pdf or eml)");
        }
    }
    if (options.outputFolder.empty())
        return usageError("no output folder: give --output DIR");
    if (options.inputs.empty())
        return usageError("no mailbox or folder to convert");
    return options;
}

std::string usageText()
{
    std::string text = R"USAGE(Usage: tessaly-cli --output DIR [--naming NAME] [--attachments none|embed|folder]
                   [--format pdf|eml] [--message-timeout SECONDS] [--message-memory SIZE]
                   [--message-pages N] [--jobs N] [--embed-source] [--force] [--no-file-times] [--shard K/N]
                   [--split-over SIZE] MAILBOX_OR_FOLDER...
       tessaly-cli bundle [--bates PREFIX-START] [--page-numbers] [--order mailbox|date]
                   [--bundle-size SIZE] OUTPUT_MAILBOX_FOLDER...

Converts every message of MBOX mailboxes into a PDF file of its own. A folder argument is
searched, with all its subfolders, for files ending in .mbox or .mbx (any letter case),
Thunderbird folders, Apple Mail exports, Maildirs and folders of .eml files.
Below DIR the output repeats each mailbox's path, the mailbox file becoming a folder that
holds its PDFs: /home/ann/Mail/Inbox.mbox gives DIR/home/ann/Mail/Inbox.mbox/.
Existing files are never overwritten: a taken name gets " (2)", " (3)" and so on.

Options:
  -o, --output DIR        where the output tree goes (required)
  --naming NAME           how each PDF is named (default: subject):
)USAGE";
    // The captions as the window shows them, without the blank one of them ends in.
    for (const NamingName &name : kNamingNames) {
        std::string line = std::string(kNamingNameColumn, ' ') + std::string(name.cliName);
        line.resize(kNamingCaptionColumn, ' ');
        text += line + trimBlanks(name.caption) + "\n";
    }
    text += R"USAGE(  --attachments MODE      none (default): attachments are listed in the PDF, not saved
                          embed: saved inside the PDF as embedded files
                          folder: saved in a folder "<PDF name> attachments" beside the PDF
  --format FORMAT         pdf (default), or eml: split only, writing each message to a
                          .eml file named like its PDF: its lines as in the mailbox, each
                          ended by CR LF, without the mailbox's "From " envelope line
  --message-timeout SECONDS
                          how long one message may take to convert (default: 60)
  --message-memory SIZE   how much memory converting one message may use, the HTML
                          renderer's processes included; K, M or G for powers of 1024
                          (default: 1.5G)
  --message-pages N       how many pages one message's PDF may have (default: 2000);
                          a longer message ends with a notice on its last page, and its
                          whole text is embedded (--attachments embed), saved in its
                          attachments folder (folder), or kept in its email-N.eml (none)
  --jobs N                how many messages are drawn at once, each in a worker process
                          of its own (default: one per processor core); the PDFs are
                          named and saved in mailbox order all the same
  --embed-source          put each message itself inside its PDF, as "<PDF name>.eml"
                          (message/rfc822: the message file's bytes, lines ended by
                          CR LF, without the mailbox's "From " envelope line)
  --force                 convert every message again, also those already converted
  --keep-file-times       give each PDF the message's date as its file time (default)
  --no-file-times         leave the PDFs' file times at the time they were written
  --shard K/N             do only the K-th of N shares of the work (0 <= K < N), so N
                          processes, on one machine or many, do it all between them
  --split-over SIZE       with --shard, cut mailboxes larger than SIZE into byte ranges
                          shared like whole mailboxes; K, M or G for powers of 1024
                          (default: 1G)
  -h, --help              show this text
  --version               show the version of tessaly-cli

Each mailbox's folder gets an index file, "Tessaly index.csv" ("Tessaly index (shard K of
N).csv" with --shard), with a row for every message: where it lies in the mailbox, its
SHA-256, its headers, its PDF, its status and, with --embed-source, the SHA-256 of the
message embedded in the PDF. Run again into the same folder, tessaly-cli converts only the
messages that no index file there records as converted with their PDF still present; the
others are counted as skipped.

Each message is converted in a separate worker process. A message that cannot be converted,
or that passes either limit, keeps its email-N.eml file in its mailbox's folder and is named,
with the reason, in the summary at the end; the run goes on with the next message. A mailbox
file named more than once (also through another path or a link) is converted once; the
summary counts the skipped duplicates.

tessaly-cli bundle makes one PDF of each mailbox output folder named, from what a run wrote
there, with a contents list, a bookmark per message and a load file; 'tessaly-cli bundle --help'
tells more. (Convert a mailbox file named "bundle" as ./bundle.)

Exit status: 0 when every message was converted (skipped duplicates included), 1 when
anything failed or there was no mailbox to convert, 2 for a usage error.
)USAGE";
    return text;
}

std::string versionText()
{
    return "tessaly-cli " TESSALY_VERSION "\n";
}

} // namespace tessaly
