#include "cli/BundleCommand.h"

#include "cli/OptionValue.h"
#include "support/ByteSize.h"

#include <charconv>

namespace tessaly {
namespace {

/// A running number of more digits would not fit the 64 bits it is counted in.
constexpr std::size_t kMostBatesDigits = 18;

Error usageError(const std::string &message)
{
    return Error{message + "\ntry 'tessaly-cli bundle --help' for more information", FailureKind::UsageError};
}

std::string countOf(int count, const std::string &one, const std::string &many)
{
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

} // namespace

bool isBundleCommand(const std::vector<std::string_view> &arguments)
{
    return !arguments.empty() && arguments.front() == kBundleCommand;
}

std::optional<BatesNumbering> parseBatesStart(std::string_view value)
{
    std::size_t digitsStart = value.size();
    while (digitsStart > 0 && value[digitsStart - 1] >= '0' && value[digitsStart - 1] <= '9')
        --digitsStart;
    const std::string_view digits = value.substr(digitsStart);
    if (digits.empty() || digits.size() > kMostBatesDigits)
        return std::nullopt;
    BatesNumbering bates;
    bates.prefix = std::string(value.substr(0, digitsStart));
    bates.digits = static_cast<int>(digits.size());
    // At most 18 digits: from_chars cannot fail.
    (void)std::from_chars(digits.data(), digits.data() + digits.size(), bates.first);
    return bates;
}

Result<BundleCommandOptions> parseBundleCommandLine(const std::vector<std::string_view> &arguments)
{
    BundleCommandOptions options;
    bool onlyFoldersFollow = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view argument = arguments[i];
        if (onlyFoldersFollow || argument.empty() || argument.front() != '-') {
            options.folders.emplace_back(argument);
            continue;
        }
        if (argument == "--") {
            onlyFoldersFollow = true;
            continue;
        }
        if (argument == "--help" || argument == "-h") {
            options.showHelp = true;
            return options;
        }
        if (argument == "--page-numbers") {
            options.bundle.pageNumbers = true;
            continue;
        }

        Result<OptionValue> option = readOptionValue(arguments, i, {"--bates", "--order", "--bundle-size"});
        if (!option)
            return usageError(option.error().message);
        const auto [name, value] = option.value();
        if (name == "--bates") {
            options.bundle.bates = parseBatesStart(value);
            if (!options.bundle.bates)
                return usageError("--bates needs a prefix and a first number such as ABC-000001, not '" +
                                  std::string(value) + "'");
        } else if (name == "--order") {
            if (value == "mailbox")
                options.bundle.order = BundleOrder::Mailbox;
            else if (value == "date")
                options.bundle.order = BundleOrder::Date;
            else
                return usageError("unknown --order value '" + std::string(value) + "' (use mailbox or date)");
        } else if (name == "--bundle-size") {
            const std::optional<std::uint64_t> size = parseByteSize(value);
            if (!size)
                return usageError("--bundle-size needs a size such as 512M or 2G, not '" + std::string(value) + "'");
            options.bundle.sizeLimit = *size;
        }
    }
    if (options.folders.empty())
        return usageError("no mailbox output folder to bundle");
    return options;
}

std::string bundleUsageText()
{
    return R"USAGE(Usage: tessaly-cli bundle [--bates PREFIX-START] [--page-numbers] [--order mailbox|date]
                          [--bundle-size SIZE] OUTPUT_MAILBOX_FOLDER...

Makes one PDF of each mailbox's output folder, from the PDFs a run wrote there and its index
files ("Tessaly index.csv" and the shards' ones), so it works the same after a sharded or a
resumed run. The PDF, "<folder name>.pdf", goes beside the folder: contents pages listing every
message of the index (failed ones with their failure and no page), then each message's pages,
with a bookmark per message. Beside it goes the load file "<folder name> bundle.csv", with a row
per message: number, SHA-256, Message-ID, date, from, to, subject, first and last page, first
and last Bates number, attachments, the PDF that holds it and, for a message without a PDF,
why. Running again replaces the bundle and load file made before; any other file at their
names stops the bundle.

Options:
  --bates PREFIX-START    stamp Bates numbers at the bottom right of every message page,
                          from START on, as wide as START is written: ABC-000001 gives
                          ABC-000001, ABC-000002, ...; they run on across parts
  --page-numbers          stamp "page X of Y" at the foot of each page
  --order ORDER           mailbox (default): as the messages lie in the mailbox;
                          date: by date, messages without a date last
  --bundle-size SIZE      split a bundle whose PDFs pass SIZE into "<name> (part 2).pdf" and
                          so on; K, M or G for powers of 1024 (default: 2G). A bundle of
                          more than 10,000 messages is split too
  -h, --help              show this text

Exit status: 0 when every folder was bundled, 1 when any could not be, 2 for a usage error.
)USAGE";
}

int runBundleCommand(const BundleCommandOptions &options, BundleAssembler &assembler, std::ostream &out,
                     std::ostream &err)
{
    int status = 0;
    for (const std::string &folder : options.folders) {
        Result<BundleReport> made = bundleMailbox(folder, options.bundle, assembler);
        if (!made) {
            err << "error: " << made.error().message << '\n';
            status = 1;
            continue;
        }
        const BundleReport &report = made.value();
        for (const std::string &warning : report.warnings)
            err << "warning: " << warning << '\n';
        out << "Bundled " << countOf(report.messages, "message", "messages");
        if (report.messagesWithoutPdf > 0)
            out << " (" << report.messagesWithoutPdf << " without a PDF)";
        out << " in " << countOf(report.pages, "page", "pages") << ":\n";
        for (const std::string &part : report.parts)
            out << "  " << part << '\n';
        out << "  " << report.loadFile << '\n';
    }
    return status;
}

} // namespace tessaly
