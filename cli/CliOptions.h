// The command line of tessaly-cli, parsed into what a run needs.
#pragma once

#include "conversion/MailboxShards.h"
#include "conversion/NamingOption.h"
#include "platform/MailConverter.h"
#include "support/Result.h"
#include "workers/WorkerLimits.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly {

enum class OutputFormat
{
    Pdf,
    Eml
};

struct CliOptions
{
    std::string outputFolder;
    NamingOption naming = NamingOption::OptOriginal;
    AttachmentMode attachments = AttachmentMode::ListOnly;
    OutputFormat format = OutputFormat::Pdf;
    std::vector<std::string> inputs; ///< mailbox files and folders, in the order given
    WorkerLimits limits;             ///< what each message may take
    int jobs = 0;                    ///< messages rendered at once; 0: one per processor core
    int messagePages = 0;            ///< pages one message may fill; 0: the converter's (2,000)
    bool showHelp = false;
    bool showVersion = false;
    bool embedSource = false;  ///< each PDF carries its message as an embedded .eml
    bool force = false;        ///< convert messages an index file records as converted
    bool keepFileTimes = true; ///< PDF file time = the message's date
    std::optional<ShardChoice> shard;
    std::uint64_t splitOver = std::uint64_t(1) << 30; ///< mailboxes above this are cut into ranges
};

/// Parses the arguments after the program name. A usage error says what was wrong.
Result<CliOptions> parseCommandLine(const std::vector<std::string_view> &arguments);

/// The text of --help.
std::string usageText();

/// The text of --version: the program's name and the project's version, on one line.
std::string versionText();

} // namespace tessaly
