// tessaly-cli bundle: one PDF per mailbox output folder, from what a run wrote there.
#pragma once

#include "conversion/MailboxBundle.h"
#include "platform/BundleAssembler.h"
#include "support/Result.h"

#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly {

inline constexpr std::string_view kBundleCommand = "bundle";

struct BundleCommandOptions
{
    std::vector<std::string> folders; ///< mailbox output folders, in the order given
    BundleOptions bundle;
    bool showHelp = false;
};

/// Whether the arguments after the program name ask for the bundle command: the first is
/// "bundle". A mailbox file of that name is converted as "./bundle".
bool isBundleCommand(const std::vector<std::string_view> &arguments);

/// Parses the arguments after "bundle". A usage error says what was wrong.
Result<BundleCommandOptions> parseBundleCommandLine(const std::vector<std::string_view> &arguments);

/// Bates numbering from its first number as it is to be stamped: the digits at the end are the
/// running number and its width, what comes before them the prefix ("ABC-000001": "ABC-", 1, 6
/// digits). nullopt for a value that does not end in a digit or has more than 18 of them.
std::optional<BatesNumbering> parseBatesStart(std::string_view value);

/// The text of `tessaly-cli bundle --help`.
std::string bundleUsageText();

/// Bundles each folder of `options` with `assembler`, telling what it wrote on `out` and the
/// warnings and errors on `err`. Returns the exit status: 0 when every folder was bundled, 1
/// when any could not be.
int runBundleCommand(const BundleCommandOptions &options, BundleAssembler &assembler, std::ostream &out,
                     std::ostream &err);

} // namespace tessaly
