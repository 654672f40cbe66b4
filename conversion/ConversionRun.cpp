#include "conversion/ConversionRun.h"

#include "conversion/LeadingText.h"
#include "conversion/MailboxFileReader.h"
#include "conversion/MailboxReader.h"
#include "conversion/MailboxStartCheck.h"
#include "conversion/MessageFolder.h"
#include "conversion/MessageIndex.h"
#include "conversion/MessagePipeline.h"
#include "conversion/OutputTree.h"
#include "conversion/SourceFolderReader.h"
#include "support/FolderHandle.h"
#include "support/PathHelpers.h"
#include "support/TextHelpers.h"

#include <chrono>
#include <exception>
#include <filesystem>
#include <optional>
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

Result<std::unique_ptr<ConcurrentMailConverter>> makeConverter(const ConcurrentMailConverterFactory &factory)
{
    Result<std::unique_ptr<ConcurrentMailConverter>> converter =
        factory ? factory() : Result<std::unique_ptr<ConcurrentMailConverter>>(Error{"no converter is set up"});
    if (converter && !converter.value())
        return Error{"the converter could not be created"};
    return converter;
}

} // namespace

ConversionRun::ConversionRun(std::vector<MailboxRow> rows, RunSettings settings, RunObserver &observer,
                             ConcurrentMailConverterFactory makeConverter, MessageReaderFactory makeReader)
    : m_rows(std::move(rows)), m_settings(std::move(settings)), m_makeConverter(std::move(makeConverter)),
      m_makeReader(std::move(makeReader)), m_recorder(observer)
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

    // Each mailbox file once, however often (and under whatever path) the list names it.
    const int rowCount = static_cast<int>(m_rows.size());
    std::vector<std::string> paths(m_rows.size());
    std::vector<std::string> identities(m_rows.size());
    std::set<std::string> distinct;
    std::uint64_t totalBytes = 0;
    for (int row = 0; row < rowCount; ++row) {
        const MailboxRow &mailbox = m_rows[static_cast<std::size_t>(row)];
        paths[static_cast<std::size_t>(row)] = trimBlanks(mailbox.path);
        if (paths[static_cast<std::size_t>(row)].empty())
            continue;
        std::string &identity = identities[static_cast<std::size_t>(row)];
        identity = mailboxIdentity(paths[static_cast<std::size_t>(row)]);
        if (mailbox.range)
            identity += "#" + std::to_string(mailbox.range->start) + "-" + std::to_string(mailbox.range->end);
        if (distinct.insert(identity).second)
            totalBytes += rowBytes(row);
    }
    m_recorder.runStarted(outputFolder, totalBytes);

    Result<std::unique_ptr<ConcurrentMailConverter>> converter = makeConverter(m_makeConverter);
    if (!converter) {
        // Without a converter no mailbox can be converted; say so for each one.
        for (const std::string &mailboxPath : paths) {
            if (!mailboxPath.empty())
                m_recorder.failMailbox(mailboxPath, "cannot start the converter: " + converter.error().message);
        }
    } else {
        // A resumed run takes back what a killed one named and did not record; --force keeps it.
        if (!m_settings.index.convertAgain)
            converter.value()->takeBackUnrecordedOutputs();
        converter.value()->stopWaitingWhen([this] { return stopNow(); });
        for (const std::string &warning : converter.value()->runWarnings())
            m_recorder.report().warnings.push_back(warning);
        std::set<std::string> taken;
        std::set<std::string> converted;
        std::uint64_t bytesBefore = 0;
        for (int row = 0; row < rowCount; ++row) {
            const std::string &mailboxPath = paths[static_cast<std::size_t>(row)];
            if (mailboxPath.empty())
                continue;
            if (stopNow()) {
                m_recorder.stopByUser(mailboxPath, 0);
                break;
            }
            const std::string &identity = identities[static_cast<std::size_t>(row)];
            if (!taken.insert(identity).second) {
                m_recorder.report().skippedDuplicates.push_back(mailboxPath);
                if (converted.contains(identity))
                    m_recorder.observer().mailboxConverted(row);
                continue;
            }
            if (convertMailbox(*converter.value(), row, mailboxPath, outputFolder, bytesBefore)) {
                converted.insert(identity);
                m_recorder.observer().mailboxConverted(row);
            } else if (!m_recorder.report().stoppedByUser()) {
                m_recorder.observer().mailboxFailed(row);
            }
            m_recorder.mailboxFinished();
            // A full disk would fail every later message in turn.
            if (m_recorder.runStopped())
                break;
            bytesBefore += rowBytes(row);
            m_recorder.progressed(bytesBefore);
        }
    }
    // The converter ends before the run does; ending it stops its workers.
    if (converter)
        converter.value().reset();
    return m_recorder.runFinished(std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
}

void ConversionRun::requestStop()
{
    m_stopRequested = true;
}

bool ConversionRun::stopNow()
{
    if (!m_stopRequested && m_stopWhen && m_stopWhen())
        m_stopRequested = true;
    return m_stopRequested;
}

bool ConversionRun::convertMailbox(ConcurrentMailConverter &converter, int row, const std::string &mailboxPath,
                                   const std::string &outputFolder, std::uint64_t bytesBefore)
{
    m_recorder.observer().mailboxStarted(row, static_cast<int>(m_rows.size()), mailboxPath);

    const std::optional<ByteRange> &range = m_rows[static_cast<std::size_t>(row)].range;
    MailboxStart start{MailboxContent::Mail, 0, {}};
    // A later range is a part of a mailbox already found to be one. A file that cannot be read
    // is reported when it is opened below.
    if (!range || range->start == 0) {
        if (const Result<MailboxStart> checked = checkMailboxFile(mailboxPath))
            start = checked.value();
        if (start.content == MailboxContent::NotAMailbox) {
            m_recorder.failMailbox(mailboxPath, Error{std::string(start.reason), FailureKind::NotAMailbox});
            return false;
        }
        if (start.content == MailboxContent::Empty) {
            ++m_recorder.report().mailboxesRead;
            m_recorder.report().emptyMailboxes.push_back(mailboxPath);
            return true;
        }
    }

    Result<MailboxFolder> opened = MailboxFolder::open(outputFolder, mailboxPath);
    if (!opened) {
        m_recorder.failMailbox(mailboxPath, opened.error());
        return false;
    }
    const MailboxFolder &mailboxFolder = opened.value();
    const FolderHandle &folder = mailboxFolder.handle();

    const ConvertedMessages convertedEarlier =
        m_settings.index.convertAgain ? ConvertedMessages() : ConvertedMessages::readFolder(folder);
    m_recorder.mailboxStarted(mailboxPath, folder, m_settings.index.indexFileName);

    const MailboxOutput output{folder, mailboxFolder.path(),
                               m_settings.index.convertAgain ? nullptr : &convertedEarlier, bytesBefore, 0};
    try {
        const bool read = isSourceFolder(mailboxPath) ? readSourceFolder(converter, row, mailboxPath, output)
                                                      : readMailboxFile(converter, row, mailboxPath, start, output);
        if (!read) {
            mailboxFolder.removeMadeFoldersIfEmpty();
            return false;
        }
    } catch (const std::exception &exception) {
        m_recorder.failMailbox(mailboxPath, exception.what());
        return false;
    }
    ++m_recorder.report().mailboxesRead;
    if (!m_recorder.mailboxHeldMessages()) {
        m_recorder.report().emptyMailboxes.push_back(mailboxPath);
        mailboxFolder.removeMadeFoldersIfEmpty();
    }
    return true;
}

bool ConversionRun::readMailboxFile(ConcurrentMailConverter &converter, int row, const std::string &mailboxPath,
                                    const MailboxStart &start, MailboxOutput output)
{
    std::optional<ByteRange> range = m_rows[static_cast<std::size_t>(row)].range;
    if (start.content == MailboxContent::LeadingText) {
        const std::uint64_t length = start.firstEnvelopeLine;
        Result<std::string> kept = keepLeadingText(mailboxPath, length, output.folder, !m_settings.index.convertAgain);
        if (!kept) {
            m_recorder.failMailbox(mailboxPath, kept.error().within("cannot keep the text before its first message: "));
            return false;
        }
        m_recorder.report().warnings.push_back(sourceName(mailboxPath) + ": the " + std::to_string(length) +
                                               " bytes before its first \"From \" line are kept in '" + kept.value() +
                                               "'");
        // The messages start at the envelope line.
        range = ByteRange{length, std::max(length, range ? range->end : UINT64_MAX)};
    }
    Result<MailboxFileReader> file =
        range ? MailboxFileReader::open(mailboxPath, *range) : MailboxFileReader::open(mailboxPath);
    if (!file) {
        m_recorder.failMailbox(mailboxPath, file.error());
        return false;
    }
    output.startOffset = file.value().startOffset();
    const FolderHandle folder = output.folder;
    const std::uint64_t bytesBefore = output.bytesBefore;
    MessagePipeline pipeline(converter, m_settings, m_makeReader, std::move(output), m_recorder,
                             [this] { return stopNow(); });
    // A long message goes on into a file in its output folder as it is split, and that file
    // becomes its message file.
    bool noteFirst = start.content == MailboxContent::HeaderBlockFirst;
    MailboxReader reader(
        MailboxReader::ReadMBOXFile(mailboxPath),
        [&](const SplitMessage &message) {
            if (stopNow())
                return;
            if (!std::exchange(noteFirst, false))
                return pipeline.take(message);
            SplitMessage first = message;
            first.note = "the mailbox has no envelope line before its first message";
            pipeline.take(first);
        },
        file.value().startOffset(), SpillFiles{[folder] { return PendingFile::createIn(folder); }});
    Result<void> read = guarded(pipeline, [&] {
        return reader.readToEnd(
            file.value(), [&](std::uint64_t bytesRead) { m_recorder.progressed(bytesBefore + bytesRead); },
            [this, &pipeline] { return pipeline.diskFull() || stopNow(); });
    });
    m_recorder.report().bytesRead += file.value().bytesRead();
    if (!finishReading(pipeline, mailboxPath))
        return false;
    if (!read) {
        if (const std::optional<SplitMessage> inHand = reader.messageInHand())
            pipeline.keepCutShort(*inHand, read.error().message);
        m_recorder.failMailbox(mailboxPath, read.error());
        return false;
    }
    return true;
}

bool ConversionRun::readSourceFolder(ConcurrentMailConverter &converter, int row, const std::string &folderPath,
                                     MailboxOutput output)
{
    Result<std::vector<MessageFolderFile>> files = messageFilesOf(folderPath);
    if (!files) {
        m_recorder.failMailbox(folderPath, files.error());
        return false;
    }
    // A range of a source folder is one of positions in its list of files.
    if (const std::optional<ByteRange> &range = m_rows[static_cast<std::size_t>(row)].range) {
        std::vector<MessageFolderFile> &all = files.value();
        const auto end = static_cast<std::ptrdiff_t>(std::min<std::uint64_t>(range->end, all.size()));
        const auto start =
            std::min(static_cast<std::ptrdiff_t>(std::min<std::uint64_t>(range->start, all.size())), end);
        all = std::vector<MessageFolderFile>(all.begin() + start, all.begin() + end);
    }
    const FolderHandle folder = output.folder;
    const std::uint64_t bytesBefore = output.bytesBefore;
    MessagePipeline pipeline(converter, m_settings, m_makeReader, std::move(output), m_recorder,
                             [this] { return stopNow(); });
    // A file that cannot be read is a warning of the run: the reading itself does not fail.
    (void)guarded(pipeline, [&] {
        readMessageFiles(
            files.value(), pipeline, m_recorder, SpillFiles{[folder] { return PendingFile::createIn(folder); }},
            [&](std::uint64_t bytesRead) { m_recorder.progressed(bytesBefore + bytesRead); },
            [this] { return stopNow(); });
        return Result<void>();
    });
    return finishReading(pipeline, folderPath);
}

Result<void> ConversionRun::guarded(MessagePipeline &pipeline, const std::function<Result<void>()> &read)
{
    try {
        return read();
    } catch (...) {
        // What the converter still holds belongs to this mailbox.
        try {
            pipeline.finishAll();
        } catch (const std::exception &) {
            pipeline.abandon();
        }
        throw;
    }
}

bool ConversionRun::finishReading(MessagePipeline &pipeline, const std::string &mailboxPath)
{
    pipeline.finishAll();
    if (stopNow()) {
        m_recorder.stopByUser(mailboxPath, pipeline.firstUncommittedNumber());
        pipeline.abandon();
        return false;
    }
    return !pipeline.diskFull();
}

std::uint64_t ConversionRun::rowBytes(int row) const
{
    const MailboxRow &mailbox = m_rows[static_cast<std::size_t>(row)];
    if (isSourceFolder(trimBlanks(mailbox.path)))
        return sourceBytes(trimBlanks(mailbox.path));
    return mailbox.range ? mailbox.range->end - mailbox.range->start : fileSize(trimBlanks(mailbox.path));
}

} // namespace tessaly
