// The conversion run: every mailbox of the list, split into messages, named and converted.
#include "ConversionRun.h"

#include "BlockSplitter.h"
#include "ConvertMessage.h"
#include "LineSplitter.h"
#include "MailboxFileReader.h"
#include "MailboxProbe.h"
#include "MessageCollector.h"
#include "MessageFile.h"
#include "OutputTree.h"
#include "PathHelpers.h"
#include "PdfNaming.h"
#include "RunTexts.h"
#include "TextHelpers.h"

#include <exception>
#include <utility>

namespace tessaly {

namespace {

constexpr const char *kFolderBrowserTitle = "Choose Folder to Save...";

/// Sets a flag for its lifetime, so every way out of a run clears it.
class RunningFlag
{
public:
    explicit RunningFlag(bool &flag) : m_flag(flag) { m_flag = true; }
    ~RunningFlag() { m_flag = false; }
    RunningFlag(const RunningFlag &) = delete;
    RunningFlag &operator=(const RunningFlag &) = delete;

private:
    bool &m_flag;
};

} // namespace

ConversionRun::ConversionRun(Platform &platform, MailboxRows &rows, ConversionOptions &options,
                             ProgressDisplay &progress, MailConverterFactory makeConverter,
                             MessageReaderFactory makeReader)
    : m_platform(platform), m_rows(rows), m_options(options), m_progress(progress),
      m_makeConverter(std::move(makeConverter)), m_makeReader(std::move(makeReader))
{
}

ConversionRun::~ConversionRun() = default;

std::optional<RunReport> ConversionRun::runWithOutputFolderChoice()
{
    if (m_running)
        return std::nullopt;
    std::string outputFolder = m_platform.BrowseForFolder(kFolderBrowserTitle);
    if (outputFolder.empty())
        return std::nullopt;
    outputFolder = withTrailingSeparator(std::move(outputFolder));

    m_platform.processPendingEvents();
    m_progress.setConvertEnabled(false);
    m_platform.processPendingEvents();

    RunReport report = runRows(outputFolder);
    if (report.allSucceeded())
        m_platform.showMessageBox(completionMessageText(), MessageBoxStyle::Information);
    else
        m_platform.showMessageBox(failureSummaryText(report), MessageBoxStyle::Exclamation);
    mailConverter.reset();
    return report;
}

RunReport ConversionRun::convertInto(const std::string &outputFolder)
{
    if (m_running)
        return RunReport{};
    RunReport report = runRows(withTrailingSeparator(outputFolder));
    mailConverter.reset();
    return report;
}

RunReport ConversionRun::runRows(const std::string &outputFolder)
{
    RunningFlag running(m_running);
    m_report = RunReport{};

    Result<std::unique_ptr<MailConverter>> converter =
        m_makeConverter ? m_makeConverter()
                        : Result<std::unique_ptr<MailConverter>>(Error{"no converter is set up"});
    if (converter && !converter.value())
        converter = Error{"the converter could not be created"};

    const int rowCount = m_rows.mailboxRowCount();
    if (!converter) {
        // Without a converter no mailbox can be converted; say so for each one.
        for (int row = 0; row < rowCount; ++row) {
            const std::string mailboxPath = trimBlanks(m_rows.mailboxRowText(row));
            if (!mailboxPath.empty())
                failMailbox(mailboxPath, "cannot start the converter: " + converter.error().message);
        }
        return std::move(m_report);
    }
    mailConverter = std::move(converter.value());

    for (int row = 0; row < rowCount; ++row) {
        // The list may shrink while events run; rows gone since the start are skipped.
        if (row >= m_rows.mailboxRowCount())
            break;
        const std::string mailboxPath = trimBlanks(m_rows.mailboxRowText(row));
        if (mailboxPath.empty())
            continue;
        try {
            convertMailbox(row, mailboxPath, outputFolder);
        } catch (const std::exception &exception) {
            failMailbox(mailboxPath, exception.what());
        }
        m_blockSplitter = nullptr;
        readBuffer = {};
    }
    return std::move(m_report);
}

void ConversionRun::convertMailbox(int row, const std::string &mailboxPath, const std::string &outputFolder)
{
    m_rows.showCurrentMailboxRow(row);
    m_platform.processPendingEvents();
    m_progress.showMailboxProgress(mailboxProgressText(row + 1, m_rows.mailboxRowCount()));

    m_mailboxPath = mailboxPath;
    Result<std::string> folder = mailboxOutputFolder(outputFolder, mailboxPath);
    mailboxFolder = folder ? folder.value() : std::string();
    m_progress.showMailboxFileName(PathFileName(mailboxPath));
    m_platform.processPendingEvents();
    if (!folder) {
        failMailbox(mailboxPath, folder.error().message);
        return;
    }

    if (!EnsureFolder(mailboxFolder)) {
        failMailbox(mailboxPath, "cannot create the output folder '" + mailboxFolder + "'");
        return;
    }

    m_platform.processPendingEvents();
    messageCount = 1;
    mailboxKind.clear();
    messageText = AppendStrings();

    ReadMBOXFile(mailboxPath);
    const int failuresBefore = static_cast<int>(m_report.failedMessages.size());
    const int convertedBefore = m_report.messagesConverted;
    Result<void> split = splitMailbox(mailboxPath);
    m_platform.processPendingEvents();
    if (!split) {
        failMailbox(mailboxPath, split.error().message);
        return;
    }

    ++m_report.mailboxesRead;
    const bool heldNoMessage = m_report.messagesConverted == convertedBefore &&
                               static_cast<int>(m_report.failedMessages.size()) == failuresBefore;
    if (heldNoMessage)
        m_report.emptyMailboxes.push_back(mailboxPath);
}

Result<void> ConversionRun::splitMailbox(const std::string &mailboxPath)
{
    Result<MailboxFileReader> opened = MailboxFileReader::open(mailboxPath);
    if (!opened)
        return opened.error();
    MailboxFileReader &reader = opened.value();
    m_progress.showMailboxBytesRead(0, reader.size());

    MessageCollector collector(messageText, [this](const SplitMessage &message) { finishMessage(message); });
    const bool blockMode = mailboxKind == kMailboxKindNotNormal;
    BlockSplitter blockSplitter(collector);
    LineSplitter lineSplitter(collector, [this](std::string_view line) {
        readBuffer = line;
        m_platform.processPendingEvents();
    });
    if (blockMode) {
        fromPosition = 0;
        m_blockSplitter = &blockSplitter;
    }

    for (;;) {
        Result<std::string_view> chunk = reader.readChunk();
        if (!chunk) {
            m_report.bytesRead += reader.bytesRead();
            return chunk.error();
        }
        const std::string_view bytes = chunk.value();
        if (bytes.empty())
            break;
        if (blockMode) {
            for (std::size_t start = 0; start < bytes.size(); start += BlockSplitter::kBlockSize) {
                readBuffer = bytes.substr(start, BlockSplitter::kBlockSize);
                SaveMBOXFile(readBuffer);
            }
        } else {
            lineSplitter.feed(bytes);
        }
        m_progress.showMailboxBytesRead(reader.bytesRead(), reader.size());
        m_platform.processPendingEvents();
    }
    if (blockMode)
        blockSplitter.finish();
    else
        lineSplitter.finish();
    m_blockSplitter = nullptr;
    readBuffer = {};
    m_report.bytesRead += reader.bytesRead();
    return {};
}

std::string ConversionRun::ReadMBOXFile(const std::string &FileName)
{
    std::string firstBytes = readProbeBytes(FileName);
    ProbeResult probe = probeMailboxStart(firstBytes);
    mailboxKind = std::move(probe.mailboxKind);
    fromPosition = probe.fromPosition;
    return firstBytes;
}

void ConversionRun::SaveMBOXFile(std::string_view mboxFileText)
{
    if (!m_blockSplitter)
        return;
    fromPosition = static_cast<long>(m_blockSplitter->feedBlock(mboxFileText));
}

void ConversionRun::finishMessage(const SplitMessage &message)
{
    const int number = messageCount;
    bool converted = false;
    auto recordFailure = [&](const std::string &keptFile, const std::string &reason) {
        m_report.failedMessages.push_back(
            MessageFailure{m_mailboxPath, number, keptFile, reason, message.offset});
    };

    try {
        Result<std::string> written = writeMessageFile(mailboxFolder, number, message.text);
        if (!written) {
            messageFile.clear();
            recordFailure({}, written.error().message);
        } else {
            messageFile = written.value();
            m_platform.processPendingEvents();
            Result<std::string> pdfPath = nameMessage();
            if (!pdfPath) {
                recordFailure(messageFile, pdfPath.error().message);
            } else {
                Result<ConvertedMessage> result = ConvertMessage(*mailConverter, messageFile, pdfPath.value(),
                                                                 m_options.attachmentChoice());
                if (result) {
                    converted = true;
                    ++m_report.messagesConverted;
                    for (const std::string &warning : result.value().warnings)
                        m_report.warnings.push_back(PathFileName(m_mailboxPath) + ", message " +
                                                    std::to_string(number) + ": " + warning);
                } else {
                    recordFailure(messageFile, result.error().message);
                }
            }
        }
    } catch (const std::exception &exception) {
        messageReader.reset();
        recordFailure(FileExists(messageFile) ? messageFile : std::string(), exception.what());
    }

    m_platform.processPendingEvents();
    m_progress.showSavedProgress(savedProgressText(number));
    m_progress.messageFinished(number, converted);
    ++messageCount;
}

Result<std::string> ConversionRun::nameMessage()
{
    messageReader = m_makeReader ? m_makeReader() : nullptr;
    if (!messageReader)
        return Error{"the message reader could not be created"};
    std::string pdfPath = MakePDFPath(*messageReader, messageFile, m_options.namingOption(), mailboxFolder);
    messageReader.reset();
    m_platform.processPendingEvents();
    return pdfPath;
}

void ConversionRun::failMailbox(const std::string &mailboxPath, const std::string &reason)
{
    m_report.failedMailboxes.push_back(MailboxFailure{mailboxPath, reason});
}

} // namespace tessaly
