#include "conversion/ConversionRun.h"

#include "conversion/BlockSplitter.h"
#include "conversion/ConvertMessage.h"
#include "conversion/LineSplitter.h"
#include "conversion/MailboxFileReader.h"
#include "conversion/MailboxProbe.h"
#include "conversion/MessageCollector.h"
#include "conversion/MessageFile.h"
#include "conversion/OutputTree.h"
#include "conversion/PdfNaming.h"
#include "support/PathHelpers.h"
#include "support/Sha256.h"
#include "support/TextHelpers.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <exception>
#include <filesystem>
#include <set>
#include <system_error>
#include <utility>

namespace tessaly {

namespace {

/// What makes two rows the same mailbox file: its absolute path with links resolved.
std::string mailboxIdentity(const std::string &mailboxPath)
{
    std::error_code error;
    std::filesystem::path path = std::filesystem::weakly_canonical(toFsPath(mailboxPath), error);
    if (error)
        path = std::filesystem::absolute(toFsPath(mailboxPath), error).lexically_normal();
    return fromFsPath(path);
}

std::uint64_t fileSize(const std::string &path)
{
    std::error_code error;
    const auto size = std::filesystem::file_size(toFsPath(path), error);
    return error ? 0 : static_cast<std::uint64_t>(size);
}

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

} // namespace

ConversionRun::ConversionRun(std::vector<MailboxRow> rows, RunSettings settings, RunObserver &observer,
                             ConcurrentMailConverterFactory makeConverter, MessageReaderFactory makeReader)
    : m_rows(std::move(rows)), m_settings(std::move(settings)), m_observer(observer),
      m_makeReader(std::move(makeReader)), m_makeConverter(std::move(makeConverter))
{
}

ConversionRun::ConversionRun(std::vector<MailboxRow> rows, RunSettings settings, RunObserver &observer,
                             MailConverterFactory makeConverter, MessageReaderFactory makeReader)
    : ConversionRun(std::move(rows), std::move(settings), observer, oneAtATime(std::move(makeConverter)),
                    std::move(makeReader))
{
}

ConversionRun::~ConversionRun() = default;

RunReport ConversionRun::convertInto(const std::string &outputFolderAsGiven)
{
    const std::string outputFolder = withTrailingSeparator(outputFolderAsGiven);
    const auto started = std::chrono::steady_clock::now();
    m_report = RunReport{};
    m_report.outputFolder = outputFolder;

    // Each mailbox file once, however often (and under whatever path) the list names it.
    const int rowCount = static_cast<int>(m_rows.size());
    std::vector<std::string> identities(m_rows.size());
    std::set<std::string> distinct;
    m_runProgress = RunProgress{};
    for (int row = 0; row < rowCount; ++row) {
        const MailboxRow &mailbox = m_rows[static_cast<std::size_t>(row)];
        const std::string mailboxPath = trimBlanks(mailbox.path);
        if (mailboxPath.empty())
            continue;
        std::string &identity = identities[static_cast<std::size_t>(row)];
        identity = mailboxIdentity(mailboxPath);
        if (mailbox.range)
            identity += "#" + std::to_string(mailbox.range->start) + "-" + std::to_string(mailbox.range->end);
        if (distinct.insert(identity).second)
            m_runProgress.totalBytes += rowBytes(row);
    }
    m_bytesBeforeMailbox = 0;
    m_observer.runStarted(m_runProgress.totalBytes);

    Result<std::unique_ptr<ConcurrentMailConverter>> converter =
        m_makeConverter ? m_makeConverter()
                        : Result<std::unique_ptr<ConcurrentMailConverter>>(Error{"no converter is set up"});
    if (converter && !converter.value())
        converter = Error{"the converter could not be created"};

    if (!converter) {
        // Without a converter no mailbox can be converted; say so for each one.
        for (int row = 0; row < rowCount; ++row) {
            const std::string mailboxPath = trimBlanks(m_rows[static_cast<std::size_t>(row)].path);
            if (!mailboxPath.empty())
                failMailbox(mailboxPath, "cannot start the converter: " + converter.error().message);
        }
    } else {
        mailConverter = std::move(converter.value());
        for (const std::string &warning : mailConverter->runWarnings())
            m_report.warnings.push_back(warning);
        std::set<std::string> taken;
        std::set<std::string> converted;
        for (int row = 0; row < rowCount; ++row) {
            const std::string mailboxPath = trimBlanks(m_rows[static_cast<std::size_t>(row)].path);
            if (mailboxPath.empty())
                continue;
            const std::string &identity = identities[static_cast<std::size_t>(row)];
            if (!taken.insert(identity).second) {
                m_report.skippedDuplicates.push_back(mailboxPath);
                if (converted.contains(identity))
                    m_observer.mailboxConverted(row);
                continue;
            }
            bool readThrough = false;
            try {
                readThrough = convertMailbox(row, mailboxPath, outputFolder);
            } catch (const std::exception &exception) {
                failMailbox(mailboxPath, exception.what());
                // What the converter still holds belongs to this mailbox.
                try {
                    recordPending(true);
                } catch (const std::exception &) {
                    m_pending.clear();
                }
            }
            if (readThrough) {
                converted.insert(identity);
                m_observer.mailboxConverted(row);
            }
            m_blockSplitter = nullptr;
            m_bytesBeforeMailbox += rowBytes(row);
            m_runProgress.bytesSplit = m_bytesBeforeMailbox;
            m_observer.progressed(m_runProgress);
        }
    }
    mailConverter.reset();
    m_report.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    m_observer.runFinished(m_report);
    return std::move(m_report);
}

bool ConversionRun::convertMailbox(int row, const std::string &mailboxPath, const std::string &outputFolder)
{
    m_observer.mailboxStarted(row, static_cast<int>(m_rows.size()), mailboxPath);

    m_mailboxPath = mailboxPath;
    Result<std::string> folder = mailboxOutputFolder(outputFolder, mailboxPath);
    mailboxFolder = folder ? folder.value() : std::string();
    if (!folder) {
        failMailbox(mailboxPath, folder.error().message);
        return false;
    }

    // The output folder is the user's choice; below it no link is followed. The mailbox's
    // folder is held open for the mailbox: every file of it is made through that handle.
    if (!EnsureFolder(outputFolder)) {
        failMailbox(mailboxPath, "cannot create the output folder '" + outputFolder + "'");
        return false;
    }
    Result<FolderHandle> outputRoot = FolderHandle::open(outputFolder);
    std::vector<std::string> madeFolders;
    Result<FolderHandle> opened =
        outputRoot
            ? outputRoot.value().openBelow(std::string_view(mailboxFolder).substr(outputFolder.size()), &madeFolders)
            : Result<FolderHandle>(outputRoot.error());
    if (!opened) {
        if (outputRoot)
            outputRoot.value().removeEmptyFolders(madeFolders);
        failMailbox(mailboxPath, "cannot create the output folder: " + opened.error().message);
        return false;
    }
    m_mailboxFolder = opened.value();
    const auto removeMadeFoldersIfEmpty = [&] { outputRoot.value().removeEmptyFolders(madeFolders); };

    m_currentRow = row;
    m_convertedEarlier =
        m_settings.index.convertAgain ? ConvertedMessages() : ConvertedMessages::readFolder(*m_mailboxFolder);
    m_indexWriter = std::make_unique<MessageIndexWriter>(*m_mailboxFolder, m_settings.index.indexFileName);
    m_indexFailed = false;
    messageCount = 1;
    messageText = AppendStrings();

    ReadMBOXFile(mailboxPath);
    const int failuresBefore = static_cast<int>(m_report.failedMessages.size());
    const int handledBefore = m_report.messagesConverted + m_report.messagesSkipped;
    Result<void> split = splitMailbox(mailboxPath);
    // The mailbox's rows are on the disk before it counts as read.
    if (Result<void> synced = m_indexWriter->sync(); !synced && !m_indexFailed) {
        m_indexFailed = true;
        m_report.warnings.push_back(PathFileName(m_mailboxPath) + ": " + synced.error().message);
    }
    if (!split) {
        failMailbox(mailboxPath, split.error().message);
        removeMadeFoldersIfEmpty();
        return false;
    }

    ++m_report.mailboxesRead;
    const bool heldNoMessage = m_report.messagesConverted + m_report.messagesSkipped == handledBefore &&
                               static_cast<int>(m_report.failedMessages.size()) == failuresBefore;
    if (heldNoMessage) {
        m_report.emptyMailboxes.push_back(mailboxPath);
        removeMadeFoldersIfEmpty();
    }
    return true;
}

Result<void> ConversionRun::splitMailbox(const std::string &mailboxPath)
{
    const std::optional<ByteRange> &range = m_rows[static_cast<std::size_t>(m_currentRow)].range;
    Result<MailboxFileReader> opened =
        range ? MailboxFileReader::open(mailboxPath, *range) : MailboxFileReader::open(mailboxPath);
    if (!opened)
        return opened.error();
    MailboxFileReader &reader = opened.value();
    m_mailboxBytes = std::ifstream(toFsPath(mailboxPath), std::ios::binary);
    m_bytesReadInMailbox = 0;

    MessageCollector collector(messageText, [this](const SplitMessage &message) { finishMessage(message); });
    const bool blockMode = mailboxKind == MailboxKind::NotNormal;
    BlockSplitter blockSplitter(collector, reader.startOffset());
    LineSplitter lineSplitter(collector, reader.startOffset());
    if (blockMode)
        m_blockSplitter = &blockSplitter;

    for (;;) {
        Result<std::string_view> chunk = reader.readChunk();
        if (!chunk) {
            m_report.bytesRead += reader.bytesRead();
            recordPending(true);
            keepMessageCutShortByReadError(collector, chunk.error().message);
            m_blockSplitter = nullptr;
            return chunk.error();
        }
        const std::string_view bytes = chunk.value();
        if (bytes.empty())
            break;
        m_bytesReadInMailbox = reader.bytesRead();
        if (blockMode) {
            for (std::size_t start = 0; start < bytes.size(); start += BlockSplitter::kBlockSize)
                SaveMBOXFile(bytes.substr(start, BlockSplitter::kBlockSize));
        } else {
            lineSplitter.feed(bytes);
        }
        m_runProgress.bytesSplit = m_bytesBeforeMailbox + reader.bytesRead();
        m_observer.progressed(m_runProgress);
    }
    if (blockMode)
        blockSplitter.finish();
    else
        lineSplitter.finish();
    recordPending(true);
    m_blockSplitter = nullptr;
    m_report.bytesRead += reader.bytesRead();
    return {};
}

void ConversionRun::ReadMBOXFile(const std::string &FileName)
{
    mailboxKind = probeMailboxStart(readProbeBytes(FileName)).mailboxKind;
}

void ConversionRun::SaveMBOXFile(std::string_view mboxFileText)
{
    m_blockSplitter->feedBlock(mboxFileText);
}

void ConversionRun::finishMessage(const SplitMessage &message)
{
    PendingMessage pending;
    pending.number = messageCount++;
    pending.offset = message.offset;
    // Where the splitter has come: the end of this message (line ends may have grown to CR LF).
    pending.splitUpTo =
        m_bytesBeforeMailbox + std::min<std::uint64_t>(message.offset + message.text.size(), m_bytesReadInMailbox);
    pending.indexRow.messageNumber = pending.number;
    pending.indexRow.key = messageKey(message);
    auto fail = [&pending](std::optional<FileInFolder> keptFile, std::string reason) {
        pending.state = PendingMessage::State::Failed;
        pending.messageFile = std::move(keptFile);
        pending.failure = std::move(reason);
    };

    const IndexRow *earlier =
        m_settings.index.convertAgain ? nullptr : m_convertedEarlier.findWithPdf(pending.indexRow.key);
    if (earlier) {
        pending.state = PendingMessage::State::Skipped;
        pending.indexRow = *earlier;
        pending.indexRow.messageNumber = pending.number;
        pending.indexRow.status = kIndexStatusSkipped;
        pending.indexRow.warnings.clear();
    } else
        try {
            Result<FileInFolder> written = writeMessageFile(*m_mailboxFolder, pending.number, message.text);
            if (!written) {
                messageFile.reset();
                fail({}, written.error().message);
            } else {
                messageFile = written.value();
                Result<std::string> pdfPath = nameMessage(pending);
                if (!pdfPath)
                    fail(messageFile, pdfPath.error().message);
                else
                    beginConversion(pending, FileInFolder{*m_mailboxFolder, PathFileName(pdfPath.value())});
            }
        } catch (const std::exception &exception) {
            messageReader.reset();
            fail(messageFile && messageFile->folder.contains(messageFile->name) ? messageFile : std::nullopt,
                 exception.what());
        }
    m_pending.push_back(std::move(pending));
    recordPending(false);
}

void ConversionRun::beginConversion(PendingMessage &pending, const FileInFolder &pdfPath)
{
    while (m_converting >= mailConverter->capacity())
        recordOldest();
    pending.messageFile = messageFile;
    if (Result<void> begun = ConvertMessage(*mailConverter, *messageFile, pdfPath, m_settings.attachments); !begun) {
        pending.state = PendingMessage::State::Failed;
        pending.failure = begun.error().message;
        return;
    }
    pending.state = PendingMessage::State::Converting;
    ++m_converting;
}

void ConversionRun::recordPending(bool everything)
{
    // Decided messages wait behind a converting one; this many at most, so memory stays bounded.
    constexpr std::size_t kMaxWaiting = 64;
    while (!m_pending.empty()) {
        if (!everything && m_pending.front().state == PendingMessage::State::Converting &&
            m_pending.size() <= kMaxWaiting)
            return;
        recordOldest();
    }
}

void ConversionRun::recordOldest()
{
    PendingMessage oldest = std::move(m_pending.front());
    m_pending.pop_front();
    recordMessage(oldest);
}

void ConversionRun::recordMessage(PendingMessage &pending)
{
    MessageOutcome outcome = MessageOutcome::Failed;
    switch (pending.state) {
    case PendingMessage::State::Skipped:
        ++m_report.messagesSkipped;
        outcome = MessageOutcome::ConvertedEarlier;
        break;
    case PendingMessage::State::Converting: {
        --m_converting;
        Result<ConvertedMessage> result = finishConvertMessage(*mailConverter, *pending.messageFile);
        if (result)
            outcome = MessageOutcome::Converted;
        recordConversion(pending, std::move(result));
        break;
    }
    case PendingMessage::State::Failed:
        m_report.failedMessages.push_back(
            MessageFailure{m_mailboxPath, pending.number, keptPath(pending), pending.failure, pending.offset});
        pending.indexRow.status = kIndexStatusFailed;
        pending.indexRow.warnings = pending.failure;
        break;
    }
    recordInIndex(pending.indexRow);

    m_observer.messageFinished(pending.number, outcome);
    ++m_runProgress.messagesDone;
    m_runProgress.bytesSplit = std::max(m_runProgress.bytesSplit, pending.splitUpTo);
    m_observer.progressed(m_runProgress);
}

void ConversionRun::recordConversion(PendingMessage &pending, Result<ConvertedMessage> result)
{
    IndexRow &row = pending.indexRow;
    if (!result) {
        pending.state = PendingMessage::State::Failed;
        m_report.failedMessages.push_back(
            MessageFailure{m_mailboxPath, pending.number, keptPath(pending), result.error().message, pending.offset});
        row.status = kIndexStatusFailed;
        row.warnings = result.error().message;
        return;
    }
    ConvertedMessage &converted = result.value();
    ++m_report.messagesConverted;
    const std::string &written = converted.writtenPath;
    row.status = kIndexStatusConverted;
    row.pdfFile = PathFileName(written);
    row.sourceSha256 = converted.embeddedSourceSha256;
    row.attachmentsWritten = converted.attachmentsSaved;
    const std::optional<std::time_t> date = m_settings.index.setFileTimes ? localTime(pending.date) : std::nullopt;
    if (date) {
        if (Result<void> timed = m_mailboxFolder->setModificationTime(PathFileName(written), *date); !timed)
            converted.warnings.push_back(timed.error().message);
    }
    for (const std::string &warning : converted.warnings)
        row.warnings += (row.warnings.empty() ? "" : "; ") + warning;
    if (!converted.warnings.empty())
        ++m_report.messagesWithWarnings;
    for (const std::string &warning : converted.warnings)
        m_report.warnings.push_back(PathFileName(m_mailboxPath) + ", message " + std::to_string(pending.number) + ": " +
                                    warning);
}

void ConversionRun::keepMessageCutShortByReadError(const MessageCollector &collector, const std::string &reason)
{
    const std::optional<SplitMessage> inHand = collector.messageInHand();
    if (!inHand)
        return;
    const int number = messageCount;
    Result<FileInFolder> written = writeMessageFile(*m_mailboxFolder, number, inHand->text);
    const std::string failure = "the mailbox could not be read to the end of this message (" + reason + ")";
    m_report.failedMessages.push_back(MessageFailure{
        m_mailboxPath, number, written ? written.value().path() : std::string(), failure, inHand->offset});
    IndexRow row;
    row.messageNumber = number;
    row.key.offset = inHand->offset;
    row.status = kIndexStatusFailed;
    row.warnings = failure;
    recordInIndex(std::move(row));
    ++m_runProgress.messagesDone;
}

Result<std::string> ConversionRun::nameMessage(PendingMessage &pending)
{
    messageReader = m_makeReader ? m_makeReader() : nullptr;
    if (!messageReader)
        return Error{"the message reader could not be created"};
    std::string pdfPath = MakePDFPath(*messageReader, messageFile->path(), m_settings.naming, mailboxFolder);
    // The reader has loaded the message; the index records what identifies it for people.
    pending.date = messageReader->Date();
    IndexRow &row = pending.indexRow;
    row.date = indexDateText(pending.date);
    row.messageId = messageReader->MessageId();
    row.from = messageReader->From();
    row.to = messageReader->To();
    row.subject = messageReader->Subject();
    messageReader.reset();
    return pdfPath;
}

MessageKey ConversionRun::messageKey(const SplitMessage &message)
{
    MessageKey key{message.offset, message.length, {}};
    Sha256 hash;
    std::vector<char> buffer(std::min<std::uint64_t>(message.length, 1 << 20));
    m_mailboxBytes.clear();
    m_mailboxBytes.seekg(static_cast<std::streamoff>(message.offset));
    for (std::uint64_t left = message.length; left > 0 && m_mailboxBytes;) {
        m_mailboxBytes.read(buffer.data(), static_cast<std::streamsize>(std::min<std::uint64_t>(left, buffer.size())));
        const auto count = static_cast<std::size_t>(m_mailboxBytes.gcount());
        if (count == 0)
            break;
        hash.add(std::string_view(buffer.data(), count));
        left -= count;
    }
    key.sha256 = hash.hexDigest();
    return key;
}

void ConversionRun::recordInIndex(IndexRow row)
{
    if (!m_indexWriter || m_indexFailed)
        return;
    if (Result<void> appended = m_indexWriter->append(row); !appended) {
        // Said once per mailbox: the run goes on, but will not resume from this folder.
        m_indexFailed = true;
        m_report.warnings.push_back(PathFileName(m_mailboxPath) + ": " + appended.error().message);
    }
}

std::uint64_t ConversionRun::rowBytes(int row) const
{
    const MailboxRow &mailbox = m_rows[static_cast<std::size_t>(row)];
    return mailbox.range ? mailbox.range->end - mailbox.range->start : fileSize(trimBlanks(mailbox.path));
}

void ConversionRun::failMailbox(const std::string &mailboxPath, const std::string &reason)
{
    m_report.failedMailboxes.push_back(MailboxFailure{mailboxPath, reason});
}

} // namespace tessaly
