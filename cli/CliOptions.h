// The command line of tessaly-cli, parsed into what a run needs.
#pragma once

#include "ConversionView.h"
#include "Result.h"
#include "WorkerLimits.h"

#include <string>
#include <string_view>
#include <vector>

namespace tessaly {

enum class OutputFormat { Pdf, Eml };

struct CliOptions
{
    std::string outputFolder;
    NamingOption naming = NamingOption::OptOriginal;
    AttachmentChoice attachments; ///< unchecked: "-c pdf"
    OutputFormat format = OutputFormat::Pdf;
    std::vector<std::string> inputs; ///< mailbox files and folders, in the order given
    WorkerLimits limits;             ///< what each message may take
    bool showHelp = false;
};

/// Parses the arguments after the program name. A usage error says what was wrong.
Result<CliOptions> parseCommandLine(const std::vector<std::string_view> &arguments);

/// The text of --help.
std::string usageText();

} // namespace tessaly
