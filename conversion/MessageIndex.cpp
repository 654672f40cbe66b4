// The index file of a mailbox's output folder.
#include "conversion/MessageIndex.h"

#include "conversion/MessageFolder.h"

#include <algorithm>
#include <charconv>

namespace tessaly {

std::string indexStatusFailed(FailureKind kind)
{
    return std::string(kIndexStatusFailed) + ": " + std::string(failureToken(kind));
}
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

const std::vector<std::string> kHeading{"Message number",
                                        "Offset",
                                        "Length",
                                        "SHA-256",
                                        "Message-ID",
                                        "Date",
                                        "From",
                                        "To",
                                        "Subject",
                                        "PDF file",
                                        "Attachments written",
                                        "Status",
                                        "Warnings",
                                        "Embedded source SHA-256",
                                        "Source file"};

// A spreadsheet may skip a leading tab, CR or LF and take what follows for a formula.
bool startsLikeFormula(std::string_view field)
{
    if (field.empty())
        return false;
    const char c = field[0];
    return c == '=' || c == '+' || c == '-' || c == '@' || c == '\'' || c == '\t' || c == '\r' || c == '\n';
}

template <typename Number> std::optional<Number> parseNumber(const std::string &text)
{
    Number value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

/// The file's bytes; "" when it cannot be read, as an index file that is missing or gone
/// records nothing.
} // namespace

bool isIndexFileName(std::string_view name)
{
    return name.starts_with("Tessaly index") && name.ends_with(".csv");
}

std::string indexFileName(int shard, int shardCount)
{
    if (shardCount <= 0)
        return std::string(kIndexFileName);
    return "Tessaly index (shard " + std::to_string(shard) + " of " + std::to_string(shardCount) + ").csv";
}

std::string csvRecord(const std::vector<std::string> &fields)
{
    std::string record;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0)
            record += ',';
        std::string field = startsLikeFormula(fields[i]) ? "'" + fields[i] : fields[i];
        if (field.find_first_of(",\"\r\n") == std::string::npos) {
            record += field;
            continue;
        }
        record += '"';
        for (char c : field) {
            if (c == '"')
                record += '"';
            record += c;
        }
        record += '"';
    }
    return record + "\r\n";
}

CsvRecords readCsvRecords(std::string_view text)
{
    CsvRecords result;
    std::size_t position = text.starts_with(kByteOrderMark) ? kByteOrderMark.size() : 0;
    result.completeLength = position;
    std::vector<std::string> record;
    std::string field;
    bool quoted = false;
    auto endField = [&] {
        if (field.size() > 1 && field[0] == '\'' && startsLikeFormula(std::string_view(field).substr(1)))
            field.erase(0, 1);
        record.push_back(std::move(field));
        field.clear();
    };
    while (position < text.size()) {
        const char c = text[position++];
        if (quoted) {
            if (c != '"')
                field += c;
            else if (position < text.size() && text[position] == '"')
                field += text[position++];
            else
                quoted = false;
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            endField();
        } else if (c == '\r' || c == '\n') {
            if (c == '\r' && position < text.size() && text[position] == '\n')
                ++position;
            endField();
            result.records.push_back(std::move(record));
            record.clear();
            result.completeLength = position;
        } else {
            field += c;
        }
    }
    return result;
}

std::string indexRecord(const IndexRow &row)
{
    return csvRecord({std::to_string(row.messageNumber), std::to_string(row.key.offset), std::to_string(row.key.length),
                      row.key.sha256, row.messageId, row.date, row.from, row.to, row.subject, row.pdfFile,
                      std::to_string(row.attachmentsWritten), row.status, row.warnings, row.sourceSha256,
                      row.key.sourceFile});
}

std::optional<IndexRow> indexRowFromRecord(const std::vector<std::string> &record)
{
    // Rows written before the last two columns came in lack them.
    if (record.size() + 2 < kHeading.size() || record.size() > kHeading.size())
        return std::nullopt;
    const auto number = parseNumber<int>(record[0]);
    const auto offset = parseNumber<std::uint64_t>(record[1]);
    const auto length = parseNumber<std::uint64_t>(record[2]);
    const auto attachments = parseNumber<int>(record[10]);
    if (!number || !offset || !length || !attachments)
        return std::nullopt;
    return IndexRow{
        *number,      MessageKey{*offset, *length, record[3], record.size() > 14 ? record[14] : std::string()},
        record[4],    record[5],
        record[6],    record[7],
        record[8],    record[9],
        *attachments, record[11],
        record[12],   record.size() > 13 ? record[13] : std::string()};
}

MessageIndexWriter::MessageIndexWriter(FolderHandle folder, std::string fileName, IndexClock clock)
    : m_folder(std::move(folder)), m_fileName(std::move(fileName)), m_clock(std::move(clock))
{
}

MessageIndexWriter::~MessageIndexWriter()
{
    (void)sync(); // see the header: whoever must know calls sync() first
}

std::string MessageIndexWriter::path() const
{
    return m_folder.pathOf(m_fileName);
}

Result<void> MessageIndexWriter::open()
{
    // Opened through the folder's handle and never through a link: whoever may write in the
    // output folder must not be able to make the run write into a file elsewhere.
    Result<OpenFile> file = m_folder.openForAppend(m_fileName);
    if (!file)
        return file.error();
    // An index that cannot be read is not cut: its rows are what later runs resume from.
    Result<std::string> earlier = m_folder.read(m_fileName);
    if (!earlier)
        return earlier.error().within("cannot read the index file before adding to it: ");
    const std::size_t keep = readCsvRecords(earlier.value()).completeLength;
    if (Result<void> cut = file.value().truncate(keep); !cut)
        return cut.error().within("cannot repair the index file: ");
    if (keep == 0) {
        const std::string heading = std::string(kByteOrderMark) + csvRecord(kHeading);
        if (Result<void> written = file.value().write(heading); !written)
            return written;
    }
    m_file = std::move(file).value();
    return {};
}

Result<void> MessageIndexWriter::append(const IndexRow &row)
{
    if (!m_file) {
        if (Result<void> opened = open(); !opened)
            return opened;
    }
    if (Result<void> written = m_file->write(indexRecord(row)); !written)
        return written;
    const auto now = m_clock();
    if (m_rowsNotSynced++ == 0)
        m_oldestNotSynced = now;
    // A sync per row would cost a disk round trip per message; a second's rows share one.
    if (now - m_oldestNotSynced >= kSyncInterval)
        return sync();
    return {};
}

Result<void> MessageIndexWriter::sync()
{
    if (!m_file || (m_rowsNotSynced == 0 && m_nameSynced))
        return {};
    if (Result<void> synced = m_file->sync(); !synced)
        return synced;
    // A new index file's name lives in the folder.
    if (!m_nameSynced) {
        if (Result<void> synced = m_folder.sync(); !synced)
            return synced;
        m_nameSynced = true;
    }
    m_rowsNotSynced = 0;
    return {};
}

MessageKey ConvertedMessages::identityOf(MessageKey key)
{
    key.sourceFile = sourceFileIdentity(key.sourceFile);
    return key;
}

Result<std::vector<std::string>> indexFilesOf(const FolderHandle &folder)
{
    Result<std::vector<std::string>> entries = folder.names();
    if (!entries)
        return entries.error();
    std::vector<std::string> names;
    for (std::string &name : entries.value()) {
        if (!isIndexFileName(name))
            continue;
        Result<EntryType> type = folder.entryType(name);
        if (!type)
            return type.error();
        if (type.value() == EntryType::PlainFile)
            names.push_back(std::move(name));
    }
    std::sort(names.begin(), names.end(), [](const std::string &a, const std::string &b) {
        if ((a == kIndexFileName) != (b == kIndexFileName))
            return a == kIndexFileName;
        return namesInNaturalOrder(a, b);
    });
    return names;
}

Result<std::vector<IndexRow>> readIndexRows(const FolderHandle &folder)
{
    Result<std::vector<std::string>> indexFiles = indexFilesOf(folder);
    if (!indexFiles)
        return indexFiles.error();
    std::vector<IndexRow> rows;
    for (const std::string &name : indexFiles.value()) {
        Result<std::string> text = folder.read(name);
        if (!text)
            return text.error();
        for (const auto &record : readCsvRecords(text.value()).records) {
            if (std::optional<IndexRow> row = indexRowFromRecord(record))
                rows.push_back(std::move(*row));
        }
    }
    return rows;
}

Result<ConvertedMessages> ConvertedMessages::readFolder(const FolderHandle &folder)
{
    Result<std::vector<IndexRow>> rows = readIndexRows(folder);
    if (!rows)
        return rows.error();
    ConvertedMessages converted(folder);
    for (IndexRow &row : rows.value()) {
        if (row.status == kIndexStatusConverted && !row.pdfFile.empty())
            converted.m_converted[identityOf(row.key)].push_back(std::move(row));
    }
    return converted;
}

const IndexRow *ConvertedMessages::findWithPdf(const MessageKey &key) const
{
    const auto found = m_converted.find(identityOf(key));
    if (found == m_converted.end())
        return nullptr;
    for (const IndexRow &row : found->second) {
        // A PDF that cannot be looked at counts as missing: the message is converted again.
        if (!m_folder)
            break;
        if (Result<EntryType> pdf = m_folder->entryType(row.pdfFile); pdf && pdf.value() == EntryType::PlainFile)
            return &row;
    }
    return nullptr;
}

} // namespace tessaly
