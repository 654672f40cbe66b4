#include "conversion/ConversionRun.h"

#include "conversion/MailboxConversion.h"
#include "conversion/MessageFolder.h"
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
        factory ? factory()
                : Result<std::unique_ptr<ConcurrentMailConverter>>(
                      Error{"no converter is set up", FailureKind::InternalError});
    if (converter && !converter.value())
        return Error{"the converter could not be created", FailureKind::InternalError};
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
                m_recorder.failMailbox(mailboxPath, converter.error().within("cannot start the converter: "));
        }
    } else {
        // A resumed run takes back what a killed one named and did not record; --force keeps it.
        if (!m_settings.index.convertAgain)
            converter.value()->takeBackUnrecordedOutputs();
        converter.value()->stopWaitingWhen([this] { return stopNow(); });
        for (const std::string &warning : converter.value()->runWarnings())
            m_recorder.report().warnings.push_back(warning);
        MailboxConversion mailboxes(*converter.value(), m_settings, m_makeReader, m_recorder,
                                    [this] { return stopNow(); });
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
            m_recorder.observer().mailboxStarted(row, rowCount, mailboxPath);
            if (mailboxes.convert(m_rows[static_cast<std::size_t>(row)], mailboxPath, outputFolder, bytesBefore)) {
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

std::uint64_t ConversionRun::rowBytes(int row) const
{
    const MailboxRow &mailbox = m_rows[static_cast<std::size_t>(row)];
    if (isSourceFolder(trimBlanks(mailbox.path)))
        return sourceBytes(trimBlanks(mailbox.path));
    return mailbox.range ? mailbox.range->end - mailbox.range->start : fileSize(trimBlanks(mailbox.path));
}

} // namespace tessaly
