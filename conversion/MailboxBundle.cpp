#include "conversion/MailboxBundle.h"

#include "conversion/MessageFolder.h"
#include "conversion/MessageIndex.h"
#include "support/PathHelpers.h"
#include "support/PendingFile.h"

#include <algorithm>
#include <cstddef>
#include <map>
#include <set>

namespace tessaly {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::size_t kBundleFileColumn = 12;

const std::vector<std::string> kLoadFileHeading{"Number",   "SHA-256",     "Message-ID",  "Date",      "From",
                                                "To",       "Subject",     "First page",  "Last page", "BEGBATES",
                                                "ENDBATES", "Attachments", "Bundle file", "Failure"};

/// One message of the bundle: the index row that stands for it and what became of its PDF.
struct BundleEntry
{
    IndexRow row;
    bool hasPdf = false;
    std::uint64_t pdfBytes = 0;
    std::string failure; ///< why it has no PDF
};

/// A run of entries [begin, end) that goes into one part.
struct PartRange
{
    std::size_t begin = 0;
    std::size_t end = 0;
};

std::string failureTextOf(const IndexRow &row)
{
    if (row.status.empty())
        return row.warnings.empty() ? std::string("not converted") : row.warnings;
    return row.warnings.empty() ? row.status : row.status + ": " + row.warnings;
}

/// Every message the index files record, once each: its latest row with a PDF in the folder,
/// or else its latest row.
Result<std::vector<BundleEntry>> readEntries(const FolderHandle &folder)
{
    Result<std::vector<IndexRow>> rows = readIndexRows(folder);
    if (!rows)
        return rows.error();
    std::vector<BundleEntry> entries;
    std::map<MessageKey, std::size_t> slots;
    for (IndexRow &row : rows.value()) {
        BundleEntry entry;
        if (!row.pdfFile.empty()) {
            Result<EntryType> pdf = folder.entryType(row.pdfFile);
            if (!pdf)
                return pdf.error();
            entry.hasPdf = pdf.value() == EntryType::PlainFile;
        }
        entry.row = std::move(row);
        const auto [slot, isNew] = slots.emplace(ConvertedMessages::identityOf(entry.row.key), entries.size());
        if (isNew)
            entries.push_back(std::move(entry));
        else if (entry.hasPdf || !entries[slot->second].hasPdf)
            entries[slot->second] = std::move(entry);
    }
    return entries;
}

/// Before, in the mailbox: mailbox files by offset, a source folder's files as a run reads them.
bool liesBefore(const IndexRow &a, const IndexRow &b)
{
    if (a.key.sourceFile != b.key.sourceFile) {
        if (a.key.sourceFile.empty() || b.key.sourceFile.empty())
            return a.key.sourceFile.empty();
        return sourceFilesInOrder(a.key.sourceFile, b.key.sourceFile);
    }
    if (a.key.offset != b.key.offset)
        return a.key.offset < b.key.offset;
    return a.messageNumber < b.messageNumber;
}

void order(std::vector<BundleEntry> &entries, BundleOrder order)
{
    std::sort(entries.begin(), entries.end(),
              [](const BundleEntry &a, const BundleEntry &b) { return liesBefore(a.row, b.row); });
    if (order == BundleOrder::Date) {
        // "YYYY-MM-DD hh:mm:ss" sorts as text; a message without a date goes last.
        std::stable_sort(entries.begin(), entries.end(), [](const BundleEntry &a, const BundleEntry &b) {
            if (a.row.date.empty() != b.row.date.empty())
                return b.row.date.empty();
            return a.row.date < b.row.date;
        });
    }
}

std::vector<PartRange> splitIntoParts(const std::vector<BundleEntry> &entries, const BundleOptions &options)
{
    const std::size_t mostMessages = static_cast<std::size_t>(std::max(options.messageLimit, 1));
    std::vector<PartRange> parts;
    PartRange part;
    std::uint64_t bytes = 0;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const std::uint64_t next = entries[i].pdfBytes;
        // A message without a PDF costs no bytes and never starts a part by size.
        const bool full =
            i - part.begin >= mostMessages ||
            (i > part.begin && next > 0 && (bytes >= options.sizeLimit || next > options.sizeLimit - bytes));
        if (full) {
            part.end = i;
            parts.push_back(part);
            part.begin = i;
            bytes = 0;
        }
        bytes += next;
    }
    part.end = entries.size();
    parts.push_back(part);
    return parts;
}

/// Whether `name` is that of a part of the bundle of `mailboxName`.
bool isPartFileName(std::string_view name, std::string_view mailboxName)
{
    if (name == bundlePartFileName(mailboxName, 1))
        return true;
    const std::string start = std::string(mailboxName) + " (part ";
    constexpr std::string_view kEnd = ").pdf";
    if (!name.starts_with(start) || !name.ends_with(kEnd) || name.size() <= start.size() + kEnd.size())
        return false;
    const std::string_view number = name.substr(start.size(), name.size() - start.size() - kEnd.size());
    return std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; });
}

/// The parts an earlier bundle wrote beside the folder, as its load file names them; an error
/// when a file that is no load file of ours stands at the load file's name.
Result<std::set<std::string>> earlierParts(const FolderHandle &parent, const std::string &mailboxName)
{
    const std::string loadName = bundleLoadFileName(mailboxName);
    std::set<std::string> parts;
    Result<EntryType> load = parent.entryType(loadName);
    if (!load)
        return load.error();
    if (load.value() == EntryType::Missing)
        return parts;
    const Error notOurs{"'" + parent.pathOf(loadName) +
                            "' is there already and is no load file of a bundle: move it away to make the bundle",
                        FailureKind::NameConflict};
    if (load.value() != EntryType::PlainFile)
        return notOurs;
    Result<std::string> text = parent.read(loadName);
    if (!text)
        return text.error();
    const std::vector<std::vector<std::string>> records = readCsvRecords(text.value()).records;
    if (records.empty() || records.front() != kLoadFileHeading)
        return notOurs;
    for (std::size_t i = 1; i < records.size(); ++i) {
        if (records[i].size() == kLoadFileHeading.size() && isPartFileName(records[i][kBundleFileColumn], mailboxName))
            parts.insert(records[i][kBundleFileColumn]);
    }
    return parts;
}

std::string loadFileRow(int number, const BundleEntry &entry, const AssembledMessage &where, const std::string &part)
{
    const IndexRow &row = entry.row;
    const auto page = [&](int value) { return entry.hasPdf && value > 0 ? std::to_string(value) : std::string(); };
    return csvRecord({std::to_string(number), row.key.sha256, row.messageId, row.date, row.from, row.to, row.subject,
                      page(where.firstPage), page(where.lastPage), where.firstBates, where.lastBates,
                      std::to_string(row.attachmentsWritten), part, entry.hasPdf ? std::string() : entry.failure});
}

/// Writes the load file in place of an earlier one of ours (checked to be ours before
/// anything was written: earlierParts).
Result<void> writeLoadFile(const FolderHandle &parent, const std::string &name, const std::string &text)
{
    Result<PendingFile> pending = PendingFile::createIn(parent);
    if (!pending)
        return pending.error();
    if (Result<void> written = pending.value().write(text); !written)
        return written;
    return pending.value().commitReplacing(name);
}

} // namespace

std::string bundlePartFileName(std::string_view mailboxName, int part)
{
    if (part <= 1)
        return std::string(mailboxName) + ".pdf";
    return std::string(mailboxName) + " (part " + std::to_string(part) + ").pdf";
}

std::string bundleLoadFileName(std::string_view mailboxName)
{
    return std::string(mailboxName) + " bundle.csv";
}

Result<BundleReport> bundleMailbox(const std::string &mailboxFolder, const BundleOptions &options,
                                   BundleAssembler &assembler)
{
    const std::string path = withoutTrailingSeparators(mailboxFolder);
    Result<FileInFolder> place = fileAt(path);
    if (!place)
        return place.error();
    const FolderHandle parent = place.value().folder;
    const std::string mailboxName = place.value().name;
    if (mailboxName.empty() || mailboxName == "." || mailboxName == "..")
        return Error{"cannot bundle '" + mailboxFolder + "': give the mailbox's own output folder",
                     FailureKind::NotAMailbox};
    Result<FolderHandle> opened = parent.openExisting(mailboxName);
    if (!opened)
        return opened.error();
    const FolderHandle &folder = opened.value();

    Result<std::vector<BundleEntry>> read = readEntries(folder);
    if (!read)
        return read.error();
    std::vector<BundleEntry> &entries = read.value();
    if (entries.empty())
        return Error{"cannot bundle '" + path + "': no index file there records a message", FailureKind::NotAMailbox};

    BundleReport report;
    for (BundleEntry &entry : entries) {
        if (entry.hasPdf) {
            Result<OpenFile> pdf = folder.openForReading(entry.row.pdfFile);
            Result<std::uint64_t> size = pdf ? pdf.value().size() : Result<std::uint64_t>(pdf.error());
            if (!size)
                return size.error();
            entry.pdfBytes = size.value();
        } else if (!entry.row.pdfFile.empty()) {
            entry.failure = "its PDF '" + entry.row.pdfFile + "' is no longer in the folder";
        } else {
            entry.failure = failureTextOf(entry.row);
        }
    }
    order(entries, options.order);
    const std::vector<PartRange> parts = splitIntoParts(entries, options);
    std::vector<std::string> partNames;
    for (std::size_t p = 0; p < parts.size(); ++p)
        partNames.push_back(bundlePartFileName(mailboxName, static_cast<int>(p) + 1));

    // Nothing is written unless every name the bundle takes is free or an earlier bundle's.
    Result<std::set<std::string>> ours = earlierParts(parent, mailboxName);
    if (!ours)
        return ours.error();
    for (const std::string &name : partNames) {
        Result<EntryType> there = parent.entryType(name);
        if (!there)
            return there.error();
        const bool isEarlierPart = ours.value().contains(name) && there.value() == EntryType::PlainFile;
        if (there.value() != EntryType::Missing && !isEarlierPart)
            return Error{
                "'" + parent.pathOf(name) +
                    "' is there already and no load file of a bundle names it: move it away to make the bundle",
                FailureKind::NameConflict};
    }

    // Parts this bundle wrote at names no load file names yet would block the next try.
    std::size_t partsWritten = 0;
    const auto failWith = [&](const Error &error) {
        for (std::size_t p = 0; p < partsWritten; ++p) {
            if (!ours.value().contains(partNames[p]))
                (void)parent.remove(partNames[p]); // the error below is what the user must know
        }
        return error;
    };

    std::vector<AssembledMessage> placed(entries.size());
    std::optional<BatesNumbering> bates = options.bates;
    bool overflowTold = false;
    for (std::size_t p = 0; p < parts.size(); ++p) {
        BundlePart part;
        part.title = mailboxName;
        part.partNumber = static_cast<int>(p) + 1;
        part.partCount = static_cast<int>(parts.size());
        part.pageNumbers = options.pageNumbers;
        part.bates = bates;
        for (std::size_t i = parts[p].begin; i < parts[p].end; ++i) {
            const BundleEntry &entry = entries[i];
            BundleMessage message;
            message.number = static_cast<int>(i) + 1;
            message.date = entry.row.date;
            message.from = entry.row.from;
            message.subject = entry.row.subject;
            message.attachments = entry.row.attachmentsWritten;
            if (entry.hasPdf)
                message.pdf = FileInFolder{folder, entry.row.pdfFile};
            message.failure = entry.failure;
            part.messages.push_back(std::move(message));
        }
        const FileInFolder destination{parent, partNames[p]};
        Result<AssembledPart> made = assembler.assemble(part, destination);
        if (!made)
            return failWith(made.error().within("cannot make '" + destination.path() + "': "));
        ++partsWritten;
        if (made.value().messages.size() != part.messages.size())
            return failWith(Error{"cannot make '" + destination.path() + "': the assembler placed " +
                                      std::to_string(made.value().messages.size()) + " of its " +
                                      std::to_string(part.messages.size()) + " messages",
                                  FailureKind::InternalError});
        std::copy(made.value().messages.begin(), made.value().messages.end(),
                  placed.begin() + static_cast<std::ptrdiff_t>(parts[p].begin));
        report.parts.push_back(destination.path());
        report.pages += made.value().pageCount;
        if (bates) {
            if (made.value().batesOverflowed && !overflowTold) {
                report.warnings.push_back("'" + destination.path() + "': the Bates numbers outgrew their " +
                                          std::to_string(bates->digits) + " digits and were stamped in full");
                overflowTold = true;
            }
            // A part without a stamped page (every message failed) leaves the number where it was.
            bates->first = std::max(bates->first, made.value().nextBates);
        }
    }

    std::string loadFile = std::string(kByteOrderMark) + csvRecord(kLoadFileHeading);
    for (std::size_t p = 0; p < parts.size(); ++p) {
        for (std::size_t i = parts[p].begin; i < parts[p].end; ++i)
            loadFile += loadFileRow(static_cast<int>(i) + 1, entries[i], placed[i], partNames[p]);
    }
    const std::string loadName = bundleLoadFileName(mailboxName);
    if (Result<void> written = writeLoadFile(parent, loadName, loadFile); !written)
        return failWith(written.error());
    report.loadFile = parent.pathOf(loadName);

    // An earlier bundle's parts beyond this one's would read as part of it.
    for (const std::string &name : ours.value()) {
        if (std::find(partNames.begin(), partNames.end(), name) != partNames.end())
            continue;
        if (Result<void> removed = parent.remove(name); !removed)
            report.warnings.push_back("an earlier bundle's part stays: " + removed.error().message);
    }
    if (Result<void> synced = parent.sync(); !synced)
        return synced.error();

    report.messages = static_cast<int>(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].hasPdf)
            continue;
        ++report.messagesWithoutPdf;
        if (!entries[i].row.pdfFile.empty())
            report.warnings.push_back("'" + path + "', message " + std::to_string(i + 1) + ": " + entries[i].failure);
    }
    return report;
}

} // namespace tessaly
