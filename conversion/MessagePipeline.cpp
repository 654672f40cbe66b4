#include "conversion/MessagePipeline.h"

#include "conversion/ConvertMessage.h"
#include "conversion/MessageFile.h"
#include "conversion/PdfNaming.h"
#include "support/PathHelpers.h"

#include <cstdio>
#include <ctime>
#include <exception>
#include <memory>
#include <utility>

namespace tessaly {

namespace {

// Decided messages wait behind a converting one; this many at most, so memory stays bounded.
constexpr std::size_t kMaxWaiting = 64;

std::string indexDateText(const std::optional<MessageDateTime> &date)
{
    if (!date)
        return {};
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", date->year, date->month, date->day, date->hour,
                  date->minute, date->second);
    return text;
}

std::optional<std::time_t> localTime(const std::optional<MessageDateTime> &date)
{
    if (!date)
        return std::nullopt;
    std::tm parts{};
    parts.tm_year = date->year - 1900;
    parts.tm_mon = date->month - 1;
    parts.tm_mday = date->day;
    parts.tm_hour = date->hour;
    parts.tm_min = date->minute;
    parts.tm_sec = date->second;
    parts.tm_isdst = -1;
    const std::time_t time = std::mktime(&parts);
    if (time == static_cast<std::time_t>(-1))
        return std::nullopt;
    return time;
}

/// Whether the kept message file `file` is on the disk: a report names only files that exist,
/// and one that cannot be looked at is not named.
bool isOnDisk(const std::optional<FileInFolder> &file)
{
    if (!file)
        return false;
    Result<EntryType> type = file->folder.entryType(file->name);
    return type && type.value() != EntryType::Missing;
}

/// The path of a kept message file, "" when there is none on the disk.
std::string pathOf(const std::optional<FileInFolder> &file)
{
    return isOnDisk(file) ? file->path() : std::string();
}

} // namespace

MessagePipeline::MessagePipeline(ConcurrentMailConverter &converter, const RunSettings &settings,
                                 const MessageReaderFactory &makeReader, MailboxOutput output, RunRecorder &recorder,
                                 std::function<bool()> stopRequested)
    : m_converter(converter), m_settings(settings), m_makeReader(makeReader), m_output(std::move(output)),
      m_recorder(recorder), m_stopRequested(std::move(stopRequested))
{
}

void MessagePipeline::take(const SplitMessage &message, const SourceFile *source)
{
    if (m_diskFull || stopped())
        return;
    PendingMessage pending = begin(message, source);
    m_pending.push_back(std::move(pending));
    commitPending(false);
}

void MessagePipeline::finishAll()
{
    commitPending(true);
}

void MessagePipeline::abandon()
{
    for (const PendingMessage &pending : m_pending)
        removeMessageFile(pending);
    m_pending.clear();
    m_converting = 0;
}

int MessagePipeline::firstUncommittedNumber() const
{
    return m_pending.empty() ? m_nextNumber : m_pending.front().indexRow.messageNumber;
}

void MessagePipeline::removeMessageFile(const PendingMessage &pending)
{
    // Nothing of it was recorded, so nothing points at the file; a file that cannot be
    // removed is taken back under its own name by the re-run.
    if (pending.messageFile)
        (void)pending.messageFile->folder.remove(pending.messageFile->name);
}

void MessagePipeline::keepCutShort(const SplitMessage &inHand, const Error &readError)
{
    const int number = m_nextNumber++;
    Result<FileInFolder> written = writeMessageFile(m_output.folder, number, inHand);
    m_recorder.recordCutShort(number, inHand.offset, written ? written.value().path() : std::string(), readError);
}

MessagePipeline::PendingMessage MessagePipeline::begin(const SplitMessage &message, const SourceFile *source)
{
    PendingMessage pending;
    pending.offset = message.offset;
    // Where the splitter had come at the message's end.
    pending.splitUpTo = m_output.bytesBefore + (message.offset + message.length - m_output.startOffset);
    pending.indexRow.messageNumber = m_nextNumber++;
    pending.indexRow.key =
        MessageKey{message.offset, message.length, message.sha256, source ? source->relativePath : std::string()};

    if (const IndexRow *earlier =
            m_output.convertedEarlier ? m_output.convertedEarlier->findWithPdf(pending.indexRow.key) : nullptr) {
        const int number = pending.indexRow.messageNumber;
        pending.state = PendingMessage::State::Skipped;
        pending.indexRow = *earlier;
        pending.indexRow.messageNumber = number;
        pending.indexRow.status = kIndexStatusSkipped;
        pending.indexRow.warnings.clear();
        return pending;
    }
    if (source)
        pending.indexRow.warnings = source->notes;
    pending.note = message.note;
    std::optional<FileInFolder> messageFile;
    try {
        Result<FileInFolder> written = writeMessageFile(m_output.folder, pending.indexRow.messageNumber, message);
        if (!written) {
            fail(pending, {}, written.error());
            return pending;
        }
        messageFile = written.value();
        Result<FileInFolder> pdf = name(pending, message);
        if (!pdf)
            fail(pending, messageFile, pdf.error());
        else {
            pending.messageFile = messageFile;
            startConversion(pending, pdf.value());
        }
    } catch (const std::exception &exception) {
        fail(pending, isOnDisk(messageFile) ? messageFile : std::nullopt,
             Error{exception.what(), FailureKind::InternalError});
    }
    return pending;
}

Result<FileInFolder> MessagePipeline::name(PendingMessage &pending, const SplitMessage &message)
{
    std::unique_ptr<MessageReader> reader = m_makeReader ? m_makeReader() : nullptr;
    if (!reader)
        return Error{"the message reader could not be created", FailureKind::InternalError};
    const std::string pdfPath = MakePDFPath(*reader, message.text, m_settings.naming, m_output.folderPath);
    // The reader has read the header block; the index records what identifies it for people.
    pending.date = reader->Date();
    IndexRow &row = pending.indexRow;
    row.date = indexDateText(pending.date);
    row.messageId = reader->MessageId();
    row.from = reader->From();
    row.to = reader->To();
    row.subject = reader->Subject();
    return FileInFolder{m_output.folder, PathFileName(pdfPath)};
}

void MessagePipeline::startConversion(PendingMessage &pending, const FileInFolder &pdf)
{
    while (m_converting >= m_converter.capacity() && !stopped())
        commitOldest();
    if (stopped())
        return; // left Failed with its message file, for abandon() to remove
    if (Result<void> begun = ConvertMessage(m_converter, *pending.messageFile, pdf, m_settings.attachments); !begun) {
        fail(pending, pending.messageFile, begun.error());
        return;
    }
    pending.state = PendingMessage::State::Converting;
    ++m_converting;
}

void MessagePipeline::fail(PendingMessage &pending, std::optional<FileInFolder> keptFile, const Error &error)
{
    pending.state = PendingMessage::State::Failed;
    pending.messageFile = std::move(keptFile);
    pending.failure = error;
    m_diskFull = m_diskFull || error.kind == FailureKind::DiskFull;
}

void MessagePipeline::commitPending(bool everything)
{
    while (!m_pending.empty() && !stopped()) {
        if (!everything && m_pending.front().state == PendingMessage::State::Converting &&
            m_pending.size() <= kMaxWaiting)
            return;
        commitOldest();
    }
}

void MessagePipeline::commitOldest()
{
    const bool wasConverting = m_pending.front().state == PendingMessage::State::Converting;
    MessageRecord record = finish(m_pending.front());
    // A stop that came while the conversion was waited for failed it: it stays in flight,
    // abandoned, and a re-run converts it.
    if (wasConverting && stopped() && record.outcome == MessageOutcome::Failed) {
        m_pending.front().state = PendingMessage::State::Failed;
        return;
    }
    m_pending.pop_front();
    m_recorder.recordMessage(std::move(record));
}

MessageRecord MessagePipeline::finish(PendingMessage &pending)
{
    MessageRecord record;
    record.offset = pending.offset;
    record.splitUpTo = pending.splitUpTo;
    record.indexRow = std::move(pending.indexRow);
    switch (pending.state) {
    case PendingMessage::State::Skipped:
        record.outcome = MessageOutcome::ConvertedEarlier;
        return record;
    case PendingMessage::State::Failed:
        record.failure = std::move(pending.failure);
        record.keptMessageFile = pathOf(pending.messageFile);
        return record;
    case PendingMessage::State::Converting:
        break;
    }
    --m_converting;
    Result<ConvertedMessage> result = finishConvertMessage(m_converter, *pending.messageFile);
    if (!result) {
        record.failure = result.error();
        m_diskFull = m_diskFull || result.error().kind == FailureKind::DiskFull;
        record.keptMessageFile = pathOf(pending.messageFile);
        return record;
    }
    ConvertedMessage &converted = result.value();
    record.outcome = MessageOutcome::Converted;
    IndexRow &row = record.indexRow;
    row.status = kIndexStatusConverted;
    row.pdfFile = PathFileName(converted.writtenPath);
    row.sourceSha256 = converted.embeddedSourceSha256;
    // Saved beside the PDF or embedded in it: an audit counts both.
    row.attachmentsWritten = converted.attachmentsSaved + converted.attachmentsEmbedded;
    if (const std::optional<std::time_t> date =
            m_settings.index.setFileTimes ? localTime(pending.date) : std::nullopt) {
        if (Result<void> timed = m_output.folder.setModificationTime(row.pdfFile, *date); !timed)
            converted.warnings.push_back(timed.error().message);
    }
    record.warnings = std::move(converted.warnings);
    if (!pending.note.empty())
        record.warnings.insert(record.warnings.begin(), std::move(pending.note));
    return record;
}

} // namespace tessaly
