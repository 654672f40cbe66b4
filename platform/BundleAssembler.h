// The bundle assembler: joins a mailbox's message PDFs into one PDF with a contents list,
// an outline, page labels and optional page and Bates stamps.
#pragma once

#include "support/FolderHandle.h"
#include "support/Result.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tessaly {

/// One message of a bundle part, in the order it is to appear.
struct BundleMessage
{
    int number = 0;   ///< its line number in the contents list; numbers continue across parts
    std::string date; ///< as the index gives it ("YYYY-MM-DD hh:mm:ss"), or empty
    std::string from;
    std::string subject;
    int attachments = 0;
    /// The message's PDF; nullopt for a message that has none (it failed), which is listed
    /// with its failure text and no page.
    std::optional<FileInFolder> pdf;
    std::string failure; ///< why the message has no PDF, for the contents list
};

/// Bates numbers: `prefix` and a running number zero-padded to `digits`, e.g. "ABC-000001".
struct BatesNumbering
{
    std::string prefix;
    std::uint64_t first = 1; ///< the number of this part's first stamped page
    int digits = 6;
};

struct BundlePart
{
    std::string title;  ///< the mailbox's name, shown above the contents list and as the PDF's title
    int partNumber = 1; ///< 1 when the bundle has one part
    int partCount = 1;
    std::vector<BundleMessage> messages;
    bool pageNumbers = false; ///< stamp "page X of Y" at the foot of each page
    std::optional<BatesNumbering> bates;
};

/// Where one message landed in an assembled part; empty page fields for a message without a PDF.
struct AssembledMessage
{
    int firstPage = 0; ///< by the part's page labels: its message pages count from 1
    int lastPage = 0;
    std::string firstBates; ///< empty without Bates numbering or a PDF
    std::string lastBates;
};

struct AssembledPart
{
    std::vector<AssembledMessage> messages; ///< one per BundlePart::messages, in that order
    int pageCount = 0;                      ///< contents pages included
    /// The Bates number after the part's last stamped page, where the next part starts.
    std::uint64_t nextBates = 0;
    /// True when a Bates number needed more digits than `digits`: it was stamped in full.
    bool batesOverflowed = false;
};

/// Writes one bundle part. Reads the message PDFs lazily, so memory stays bounded by the
/// part's page and object count rather than its bytes.
class BundleAssembler
{
public:
    virtual ~BundleAssembler() = default;

    /// Writes `part` to `destination`, replacing an earlier file there in one rename, so that
    /// the name holds the earlier bundle or the new one, whole, at every moment; a failure
    /// leaves the earlier one and nothing else.
    /// An error says why; the caller names the bundle it was making.
    virtual Result<AssembledPart> assemble(const BundlePart &part, const FileInFolder &destination) = 0;
};

} // namespace tessaly
