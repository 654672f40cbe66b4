// The index file of a mailbox's output folder: one CSV row per message handled, the record
// of what was converted and the source of truth for resuming a run.
#pragma once

#include "support/FolderHandle.h"
#include "support/Result.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

namespace tessaly {

inline constexpr std::string_view kIndexFileName = "Tessaly index.csv";
inline constexpr std::string_view kIndexStatusConverted = "converted";
inline constexpr std::string_view kIndexStatusFailed = "failed";
inline constexpr std::string_view kIndexStatusSkipped = "skipped";

/// The status of a failed message: "failed: " and its kind's token ("failed: disk-full").
/// Older index files say "failed" alone; only "converted" rows matter for resuming.
std::string indexStatusFailed(FailureKind kind);

/// "Tessaly index.csv", or "Tessaly index (shard K of N).csv" for shard K of N (N > 0).
std::string indexFileName(int shard, int shardCount);

/// Whether `name` is that of an index file, a shard's included.
bool isIndexFileName(std::string_view name);

/// What identifies a message between runs: where it lies in its mailbox and what it holds.
/// Position alone would match a different message once the mailbox was rewritten; the
/// digest alone would merge two identical copies that the mailbox holds as two messages.
/// A message file of a Maildir or an .eml folder is known by its path relative to the
/// source, its size (`length`, at `offset` 0) and digest.
struct MessageKey
{
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
    std::string sha256;
    std::string sourceFile{}; ///< path in the source folder, '/' between names; empty for a mailbox

    friend auto operator<=>(const MessageKey &, const MessageKey &) = default;
};

struct IndexRow
{
    int messageNumber = 0;
    MessageKey key;
    std::string messageId;
    std::string date; ///< "YYYY-MM-DD hh:mm:ss", local time; empty when the message has none
    std::string from;
    std::string to;
    std::string subject;
    std::string pdfFile; ///< file name in the mailbox's output folder; empty when none was written
    int attachmentsWritten = 0;
    std::string status; ///< converted, failed or skipped
    std::string warnings;
    std::string sourceSha256; ///< of the message embedded in its PDF; empty when none is
};

/// One CSV record (RFC 4180), ended by CR LF. A field is quoted when it holds a comma, quote,
/// CR or LF. A field that a spreadsheet would take for a formula (starting with = + - @, a
/// quote, a tab, CR or LF) gets a leading apostrophe, which `readCsvRecords` removes again.
std::string csvRecord(const std::vector<std::string> &fields);

struct CsvRecords
{
    std::vector<std::vector<std::string>> records;
    /// Bytes of the text taken by complete records; what follows is a torn last record.
    std::size_t completeLength = 0;
};

/// Parses CSV text. A last record without its line break (cut short by a kill) is left out.
/// A UTF-8 byte order mark at the start is skipped.
CsvRecords readCsvRecords(std::string_view text);

std::string indexRecord(const IndexRow &row);
/// nullopt for a record that is not an index row (the heading, a wrong field count, bad numbers).
std::optional<IndexRow> indexRowFromRecord(const std::vector<std::string> &record);

/// The time now, by which the index writer batches its syncs; tests pass a clock of their own.
using IndexClock = std::function<std::chrono::steady_clock::time_point()>;

/// Appends rows to one index file, one write per row, so a kill leaves only whole rows and at
/// most one torn last line. The file is opened at the first row: a torn tail left by an
/// earlier run is cut off, and a new file gets the heading.
///
/// Rows are synced to the disk in batches: by the append that finds the oldest unsynced row
/// kSyncInterval old or older, by sync() (the run calls it at the end of each mailbox) and when
/// the writer goes. A row is appended only after the files it names were made durable, so a
/// row that survives a power cut never claims a file that did not.
class MessageIndexWriter
{
public:
    static constexpr std::chrono::seconds kSyncInterval{1};

    /// Writes the index file `fileName` of `folder`.
    MessageIndexWriter(
        FolderHandle folder, std::string fileName, IndexClock clock = [] { return std::chrono::steady_clock::now(); });
    /// Syncs what is left; a failure here has nobody to tell (call sync() to learn it).
    ~MessageIndexWriter();
    MessageIndexWriter(const MessageIndexWriter &) = delete;
    MessageIndexWriter &operator=(const MessageIndexWriter &) = delete;

    /// Fails with the path and the reason, also when a link or a file linked from elsewhere
    /// stands at the index file's name: it is neither followed nor changed.
    Result<void> append(const IndexRow &row);
    /// Puts every row appended so far on the disk, with the file's name the first time.
    Result<void> sync();
    /// How many appended rows are not yet synced.
    int rowsNotSynced() const { return m_rowsNotSynced; }
    std::string path() const;

private:
    Result<void> open();
    FolderHandle m_folder;
    std::string m_fileName;
    IndexClock m_clock;
    std::optional<OpenFile> m_file;
    int m_rowsNotSynced = 0;
    std::chrono::steady_clock::time_point m_oldestNotSynced;
    bool m_nameSynced = false;
};

/// The index files of `folder`: the whole run's first, then the shards' in natural order, so
/// that where files disagree, a later one wins.
Result<std::vector<std::string>> indexFilesOf(const FolderHandle &folder);

/// The rows of every index file of `folder`, in the order of indexFilesOf and, within a file,
/// as written; headings and a torn last row are left out. Fails, with the file and the reason,
/// when one cannot be read.
Result<std::vector<IndexRow>> readIndexRows(const FolderHandle &folder);

/// The messages earlier runs converted into one output folder, read from every index file
/// there (all shards' included).
class ConvertedMessages
{
public:
    ConvertedMessages() = default;
    static Result<ConvertedMessages> readFolder(const FolderHandle &folder);
    /// The row of an earlier conversion of this message whose PDF is still in the folder.
    const IndexRow *findWithPdf(const MessageKey &key) const;
    /// `key` as a message is known by across runs: a Maildir file by its unique name
    /// (sourceFileIdentity), so a file a mail client moved or flagged is still the same message.
    static MessageKey identityOf(MessageKey key);

private:
    explicit ConvertedMessages(FolderHandle folder) : m_folder(std::move(folder)) {}
    std::optional<FolderHandle> m_folder;
    std::map<MessageKey, std::vector<IndexRow>> m_converted;
};

} // namespace tessaly
