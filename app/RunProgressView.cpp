#include "app/RunProgressView.h"

#include "app/WindowRunTexts.h"
#include "platform/Platform.h"
#include "support/PathHelpers.h"

#include <QLabel>
#include <QProgressBar>

#include <algorithm>

namespace tessaly {
namespace {

/// The bar's resolution: a large run moves it every thousandth.
constexpr int kProgressSteps = 1000;

} // namespace

RunProgressView::RunProgressView(Platform &platform, Controls controls) : m_platform(platform), m_controls(controls)
{
    m_controls.runProgress->setRange(0, kProgressSteps);
    m_controls.runProgress->setValue(0);
    m_controls.runProgress->setTextVisible(false);
}

void RunProgressView::runStarted()
{
    resetLabels();
    m_controls.runProgress->setValue(0);
    m_controls.runProgress->setFormat(QString::fromStdString(runProgressText(0, 0, 0, 0)));
    m_controls.runProgress->setTextVisible(true);
    m_taskbarPercent = 0;
    m_platform.showTaskbarProgress(0.0);
}

void RunProgressView::mailboxStarted(int row, int rowCount, const std::string &mailboxPath)
{
    m_controls.LblProgessCurrent->setText(QString::fromStdString(mailboxProgressText(row + 1, rowCount)));
    m_controls.LblProgress->setText(QStringLiteral("Saving :"));
    m_controls.LblIMMFile->setText(QString::fromStdString(sourceName(mailboxPath)));
    m_platform.processPendingEvents();
}

void RunProgressView::bundleStarted()
{
    m_controls.LblProgress->setText(QStringLiteral("Making one PDF..."));
    m_platform.processPendingEvents();
}

void RunProgressView::messageFinished(int messageNumber)
{
    m_controls.LblProgress->setText(QString::fromStdString(savedProgressText(messageNumber)));
}

void RunProgressView::progressed(const RunProgress &progress, double elapsedSeconds)
{
    QProgressBar &bar = *m_controls.runProgress;
    const std::uint64_t steps =
        progress.totalBytes == 0 ? 0 : progress.bytesSplit * kProgressSteps / progress.totalBytes;
    bar.setValue(static_cast<int>(std::min<std::uint64_t>(steps, kProgressSteps)));
    if (const int percent = bar.value() * 100 / kProgressSteps; percent != m_taskbarPercent) {
        m_taskbarPercent = percent;
        m_platform.showTaskbarProgress(percent / 100.0);
    }
    bar.setFormat(QString::fromStdString(
        runProgressText(progress.messagesDone, progress.bytesSplit, progress.totalBytes, elapsedSeconds)));
    m_platform.processPendingEvents();
}

void RunProgressView::runFinished()
{
    resetLabels();
    m_controls.runProgress->setValue(0);
    m_controls.runProgress->setTextVisible(false);
    m_taskbarPercent = -1;
    m_platform.showTaskbarProgress(std::nullopt);
}

void RunProgressView::resetLabels()
{
    m_controls.LblProgessCurrent->setText(QStringLiteral("Mailbox  0 (of 0)"));
    m_controls.LblIMMFile->clear();
    m_controls.LblProgress->setText(QStringLiteral("Saving :"));
}

} // namespace tessaly
