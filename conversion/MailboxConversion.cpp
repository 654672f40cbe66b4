#include "conversion/MailboxConversion.h"

#include "conversion/LeadingText.h"
#include "conversion/MessageFolder.h"
#include "conversion/MessageIndex.h"
#include "conversion/OutputTree.h"
#include "conversion/SourceFolderReader.h"
#include "support/PathHelpers.h"

#include <algorithm>
#include <exception>
#include <utility>

namespace tessaly {
namespace {

constexpr std::string_view kNoEnvelopeLine = "the mailbox has no envelope line before its first message";

} // namespace

MailboxConversion::MailboxConversion(ConcurrentMailConverter &converter, const RunSettings &settings,
                                     const MessageReaderFactory &makeReader, RunRecorder &recorder,
                                     std::function<bool()> stopNow)
    : m_converter(converter), m_settings(settings), m_makeReader(makeReader), m_recorder(recorder),
      m_stopNow(std::move(stopNow))
{
}

bool MailboxConversion::convert(const MailboxRow &row, const std::string &mailboxPath, const std::string &outputFolder,
                                std::uint64_t bytesBefore)
{
    std::optional<OpenedMailbox> mailbox;
    if (!isSourceFolder(mailboxPath)) {
        // A later range is a part of a mailbox already found to be one.
        Result<OpenedMailbox> opened = openMailbox(mailboxPath, !row.range || row.range->start == 0);
        if (!opened) {
            m_recorder.failMailbox(mailboxPath, opened.error());
            return false;
        }
        const MailboxStart &start = opened.value().start;
        if (start.content == MailboxContent::NotAMailbox) {
            m_recorder.failMailbox(mailboxPath, Error{std::string(start.reason), FailureKind::NotAMailbox});
            return false;
        }
        if (start.content == MailboxContent::Empty) {
            ++m_recorder.report().mailboxesRead;
            m_recorder.report().emptyMailboxes.push_back(mailboxPath);
            return true;
        }
        mailbox.emplace(std::move(opened).value());
    }

    Result<MailboxFolder> opened = MailboxFolder::open(outputFolder, mailboxPath);
    if (!opened) {
        m_recorder.failMailbox(mailboxPath, opened.error());
        return false;
    }
    const MailboxFolder &mailboxFolder = opened.value();
    const FolderHandle &folder = mailboxFolder.handle();
    ConvertedMessages convertedEarlier;
    if (!m_settings.index.convertAgain) {
        // Without it, every message would be converted again beside its earlier PDF.
        Result<ConvertedMessages> earlier = ConvertedMessages::readFolder(folder);
        if (!earlier) {
            m_recorder.failMailbox(mailboxPath, earlier.error().within("cannot read what earlier runs converted: "));
            mailboxFolder.removeMadeFoldersIfEmpty();
            return false;
        }
        convertedEarlier = std::move(earlier).value();
    }
    m_recorder.mailboxStarted(mailboxPath, folder, m_settings.index.indexFileName);

    const MailboxOutput output{folder, mailboxFolder.path(),
                               m_settings.index.convertAgain ? nullptr : &convertedEarlier, bytesBefore, 0};
    try {
        const bool read = mailbox ? readMailboxFile(*mailbox, row.range, mailboxPath, output)
                                  : readSourceFolder(row.range, mailboxPath, output);
        if (!read) {
            mailboxFolder.removeMadeFoldersIfEmpty();
            return false;
        }
    } catch (const std::exception &exception) {
        m_recorder.failMailbox(mailboxPath, Error{exception.what(), FailureKind::InternalError});
        return false;
    }
    ++m_recorder.report().mailboxesRead;
    if (!m_recorder.mailboxHeldMessages()) {
        m_recorder.report().emptyMailboxes.push_back(mailboxPath);
        mailboxFolder.removeMadeFoldersIfEmpty();
    }
    return true;
}

bool MailboxConversion::readMailboxFile(OpenedMailbox &mailbox, const std::optional<ByteRange> &range,
                                        const std::string &mailboxPath, MailboxOutput output)
{
    std::uint64_t start = range ? range->start : 0;
    const std::uint64_t end = range ? range->end : MailboxFileReader::kToEnd;
    if (mailbox.start.content == MailboxContent::LeadingText) {
        if (!keepLeadingTextOf(mailbox, mailboxPath, output.folder))
            return false;
        start = std::max(start, mailbox.start.firstEnvelopeLine); // the messages start there
    }
    MailboxFileReader &file = mailbox.file;
    if (Result<void> restricted = file.restrictTo(ByteRange{start, std::max(start, end)}); !restricted) {
        m_recorder.failMailbox(mailboxPath, restricted.error());
        return false;
    }
    output.startOffset = file.startOffset();
    const FolderHandle folder = output.folder;
    const std::uint64_t bytesBefore = output.bytesBefore;
    MessagePipeline pipeline(m_converter, m_settings, m_makeReader, std::move(output), m_recorder, m_stopNow);
    bool noteFirst = mailbox.start.content == MailboxContent::HeaderBlockFirst;
    // A long message goes on into a file in its output folder as it is split, and that file
    // becomes its message file.
    MailboxReader reader(
        mailbox.splitMode,
        [&](const SplitMessage &message) {
            if (m_stopNow())
                return;
            if (!std::exchange(noteFirst, false))
                return pipeline.take(message);
            SplitMessage first = message;
            first.note = kNoEnvelopeLine;
            pipeline.take(first);
        },
        file.startOffset(), SpillFiles{[folder] { return PendingFile::createIn(folder); }});
    Result<void> read = guarded(pipeline, [&] {
        return reader.readToEnd(
            file, [&](std::uint64_t bytesRead) { m_recorder.progressed(bytesBefore + bytesRead); },
            [this, &pipeline] { return pipeline.diskFull() || m_stopNow(); });
    });
    m_recorder.report().bytesRead += file.bytesRead();
    if (!finishReading(pipeline, mailboxPath))
        return false;
    if (!read) {
        if (const std::optional<SplitMessage> inHand = reader.messageInHand())
            pipeline.keepCutShort(*inHand, read.error());
        m_recorder.failMailbox(mailboxPath, read.error());
        return false;
    }
    return true;
}

bool MailboxConversion::keepLeadingTextOf(OpenedMailbox &mailbox, const std::string &mailboxPath,
                                          const FolderHandle &folder)
{
    const std::uint64_t length = mailbox.start.firstEnvelopeLine;
    Result<std::string> kept = [&]() -> Result<std::string> {
        if (Result<void> restricted = mailbox.file.restrictTo(ByteRange{0, length}); !restricted)
            return restricted.error();
        return keepLeadingText(mailbox.file, mailboxPath, folder, !m_settings.index.convertAgain);
    }();
    if (!kept) {
        m_recorder.failMailbox(mailboxPath, kept.error().within("cannot keep the text before its first message: "));
        return false;
    }
    m_recorder.report().warnings.push_back(sourceName(mailboxPath) + ": the " + std::to_string(length) +
                                           " bytes before its first \"From \" line are kept in '" + kept.value() + "'");
    return true;
}

bool MailboxConversion::readSourceFolder(const std::optional<ByteRange> &range, const std::string &folderPath,
                                         MailboxOutput output)
{
    Result<std::vector<MessageFolderFile>> files = messageFilesOf(folderPath);
    if (!files) {
        m_recorder.failMailbox(folderPath, files.error());
        return false;
    }
    // A range of a source folder is one of positions in its list of files.
    if (range) {
        std::vector<MessageFolderFile> &all = files.value();
        const auto end = static_cast<std::ptrdiff_t>(std::min<std::uint64_t>(range->end, all.size()));
        const auto start =
            std::min(static_cast<std::ptrdiff_t>(std::min<std::uint64_t>(range->start, all.size())), end);
        all = std::vector<MessageFolderFile>(all.begin() + start, all.begin() + end);
    }
    const FolderHandle folder = output.folder;
    const std::uint64_t bytesBefore = output.bytesBefore;
    MessagePipeline pipeline(m_converter, m_settings, m_makeReader, std::move(output), m_recorder, m_stopNow);
    // A file that cannot be read is a warning of the run: the reading itself does not fail.
    (void)guarded(pipeline, [&] {
        readMessageFiles(
            files.value(), pipeline, m_recorder, SpillFiles{[folder] { return PendingFile::createIn(folder); }},
            [&](std::uint64_t bytesRead) { m_recorder.progressed(bytesBefore + bytesRead); }, m_stopNow);
        return Result<void>();
    });
    return finishReading(pipeline, folderPath);
}

Result<void> MailboxConversion::guarded(MessagePipeline &pipeline, const std::function<Result<void>()> &read)
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

bool MailboxConversion::finishReading(MessagePipeline &pipeline, const std::string &mailboxPath)
{
    pipeline.finishAll();
    if (m_stopNow()) {
        m_recorder.stopByUser(mailboxPath, pipeline.firstUncommittedNumber());
        pipeline.abandon();
        return false;
    }
    return !pipeline.diskFull();
}

} // namespace tessaly
