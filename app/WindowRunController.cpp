#include "app/WindowRunController.h"

#include "app/WindowRun.h"
#include "app/WindowRunTexts.h"
#include "mailboxlist/MailboxList.h"
#include "platform/Platform.h"

#include <QPushButton>
#include <QWidget>

#include <utility>

namespace tessaly {

WindowRunController::WindowRunController(Platform &platform, QWidget &window, MailboxList &list,
                                         QPushButton &convertButton, RunProgressView::Controls progress,
                                         ConcurrentMailConverterFactory makeConverter, MessageReaderFactory makeReader)
    : m_platform(platform), m_window(window), m_list(list), m_convertButton(convertButton),
      m_progress(platform, progress), m_makeConverter(std::move(makeConverter)), m_makeReader(std::move(makeReader))
{
}

void WindowRunController::convert(const std::vector<std::string> &mailboxes, RunSettings settings,
                                  bool bundleEachMailbox)
{
    ConversionRun run(wholeMailboxRows(mailboxes), std::move(settings), *this, m_makeConverter, m_makeReader);
    m_run = &run;
    runWithOutputFolderChoice(
        m_platform, mailboxes, [this] { m_convertButton.setText(QStringLiteral("Stop")); },
        [&](const std::string &outputFolder) {
            if (bundleEachMailbox)
                m_bundling.emplace(m_platform, m_makeBundleAssembler, outputFolder, mailboxes);
            RunReport report = run.convertInto(outputFolder);
            if (m_bundling) {
                report.warnings.insert(report.warnings.end(), m_bundling->warnings().begin(),
                                       m_bundling->warnings().end());
                m_bundling.reset();
            }
            return report;
        },
        [this] { return m_exitAfterRun; });
    m_run = nullptr;
    m_convertButton.setText(QStringLiteral("Convert"));
}

void WindowRunController::requestStop()
{
    if (!m_run || m_run->isStopRequested())
        return;
    m_run->requestStop();
    m_convertButton.setText(QStringLiteral("Stopping..."));
    m_convertButton.setEnabled(false);
}

void WindowRunController::stopAndExit()
{
    m_exitAfterRun = true;
    requestStop();
}

void WindowRunController::runStarted(std::uint64_t)
{
    m_list.clearRunMarks();
    m_progress.runStarted();
    m_runClock.start();
}

void WindowRunController::mailboxStarted(int row, int rowCount, const std::string &mailboxPath)
{
    m_list.setCurrentRow(row);
    m_platform.processPendingEvents();
    m_progress.mailboxStarted(row, rowCount, mailboxPath);
}

void WindowRunController::mailboxConverted(int row)
{
    m_list.markConvertedByLastRun(row);
    if (!m_bundling)
        return;
    m_progress.bundleStarted();
    m_bundling->bundleRow(row);
}

void WindowRunController::mailboxFailed(int row)
{
    m_list.markFailedInLastRun(row);
}

void WindowRunController::messageFinished(int messageNumber, MessageOutcome)
{
    m_progress.messageFinished(messageNumber);
}

void WindowRunController::progressed(const RunProgress &progress)
{
    m_progress.progressed(progress, static_cast<double>(m_runClock.elapsed()) / 1000.0);
}

void WindowRunController::runFinished(const RunReport &report)
{
    m_progress.runFinished();
    // Nothing to stop while the report box shows; Convert is back once it is closed.
    m_convertButton.setText(QStringLiteral("Convert"));
    m_convertButton.setEnabled(false);
    if (m_runClock.elapsed() >= m_notifyAfter.count() && !m_window.isActiveWindow())
        m_platform.notifyDesktop(report.stoppedByUser() ? "Conversion stopped" : "Conversion finished",
                                 runCountsLine(report));
}

} // namespace tessaly
