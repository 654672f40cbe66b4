// One PDF for a mailbox: which messages of its output folder go in, in which order and parts,
// and the load file that records where each one landed.
#pragma once

#include "platform/BundleAssembler.h"
#include "support/Result.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly {

inline constexpr std::uint64_t kDefaultBundleSize = std::uint64_t(2) << 30;
inline constexpr int kBundleMessageLimit = 10000;

enum class BundleOrder
{
    Mailbox, ///< as the messages lie in their mailbox (or source folder)
    Date     ///< by date, then as in the mailbox; messages without a date last
};

struct BundleOptions
{
    BundleOrder order = BundleOrder::Mailbox;
    bool pageNumbers = false;
    /// Bates numbers from `first`, with `prefix` and `digits`; none when not set.
    std::optional<BatesNumbering> bates;
    /// A part ends before the sum of its message PDFs' sizes would pass this (a larger PDF
    /// makes a part of its own).
    std::uint64_t sizeLimit = kDefaultBundleSize;
    /// A part holds at most this many messages.
    int messageLimit = kBundleMessageLimit;
};

/// What a bundle came to, for the CLI and the window to tell.
struct BundleReport
{
    std::vector<std::string> parts; ///< the paths of the PDFs written, part 1 first
    std::string loadFile;           ///< the path of the load file
    int messages = 0;               ///< every message of the index, those without a PDF included
    int messagesWithoutPdf = 0;     ///< failed or skipped ones, and those whose PDF is gone
    int pages = 0;                  ///< in all parts, contents pages included
    std::vector<std::string> warnings;
};

/// Makes the assembler for a bundle; null when it cannot be had.
using BundleAssemblerFactory = std::function<std::unique_ptr<BundleAssembler>()>;

/// "<name>.pdf" for part 1, "<name> (part K).pdf" for part K > 1.
std::string bundlePartFileName(std::string_view mailboxName, int part);
/// "<name> bundle.csv".
std::string bundleLoadFileName(std::string_view mailboxName);

/// Bundles the mailbox output folder at `mailboxFolder` (a trailing separator is allowed):
/// one PDF, or several parts, and a load file, beside the folder in its parent, named after it.
///
/// Every message its index files record ("Tessaly index.csv" and the shards' "Tessaly index
/// (shard K of N).csv") is in it once: a message with several rows (a resumed run, a retry)
/// counts by its latest row whose PDF is in the folder, or else by its latest row. A message
/// without a PDF (failed, or its PDF since removed) is listed with its status and warnings as
/// its failure text. `Mailbox` order is by place in the mailbox (byte offset; a source folder's
/// files in the order a run reads them), so shards and resumed runs give the same bundle as one
/// whole run; message numbers count afresh in each shard and are not used for it.
///
/// Files at the bundle's names are replaced only when the load file beside them (one with this
/// program's heading) names them: that is a bundle made here before. Anything else at those
/// names, or a load file of another heading, stops the bundle before anything is written, with
/// the path. Parts of an earlier bundle that the new one no longer has are removed.
///
/// Fails with the path and the reason when the folder or its index cannot be read, holds no
/// message, or a part or the load file cannot be written. Parts it wrote at names that no load
/// file names are removed again then, so that the next try is not stopped by them; an earlier
/// bundle's parts it already replaced stay, still named by the earlier load file.
Result<BundleReport> bundleMailbox(const std::string &mailboxFolder, const BundleOptions &options,
                                   BundleAssembler &assembler);

} // namespace tessaly
