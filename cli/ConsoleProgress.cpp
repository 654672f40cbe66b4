#include "cli/ConsoleProgress.h"

#include "conversion/RunTexts.h"
#include "support/PathHelpers.h"

#include <cstdio>
#include <string>

namespace tessaly {
namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(200);

} // namespace

ConsoleProgress::ConsoleProgress(std::ostream &out, bool isTerminal, Clock clock)
    : m_out(out), m_isTerminal(isTerminal), m_clock(std::move(clock)), m_start(m_clock())
{
}

void ConsoleProgress::mailboxStarted(int row, int rowCount, const std::string &mailboxPath)
{
    m_mailboxNumber = row + 1;
    m_mailboxCount = rowCount;
    if (!m_isTerminal) {
        m_out << "mailbox " << m_mailboxNumber << " of " << m_mailboxCount << ": " << sourceName(mailboxPath) << '\n';
        m_out.flush();
        return;
    }
    redraw(true);
}

void ConsoleProgress::messageFinished(int, MessageOutcome outcome)
{
    outcome == MessageOutcome::Failed ? ++m_messagesFailed : ++m_messagesDone;
    redraw(false);
}

void ConsoleProgress::progressed(const RunProgress &progress)
{
    m_progress = progress;
    redraw(false);
}

void ConsoleProgress::redraw(bool force)
{
    if (!m_isTerminal)
        return;
    const auto now = m_clock();
    if (!force && now - m_lastDrawn < kRedrawInterval)
        return;
    m_lastDrawn = now;

    const double elapsed = std::chrono::duration<double>(now - m_start).count();
    const std::uint64_t done = m_progress.bytesSplit;
    const std::uint64_t total = m_progress.totalBytes;
    const double megabytesPerSecond = elapsed > 0 ? static_cast<double>(done) / 1e6 / elapsed : 0.0;
    std::string line = "mailbox " + std::to_string(m_mailboxNumber) + " of " + std::to_string(m_mailboxCount) + " | " +
                       std::to_string(m_messagesDone) + " messages";
    if (m_messagesFailed > 0)
        line += ", " + std::to_string(m_messagesFailed) + " failed";
    char rate[32];
    std::snprintf(rate, sizeof rate, " | %.1f MB/s", megabytesPerSecond);
    line += rate;
    if (const std::optional<double> left = estimatedSecondsLeft(done, total, elapsed))
        line += " | " + formatDuration(*left, HoursShown::Always) + " left";
    const std::size_t length = line.size();
    if (length < m_lastLineLength)
        line.append(m_lastLineLength - length, ' ');
    m_lastLineLength = length;
    m_out << '\r' << line;
    m_out.flush();
}

void ConsoleProgress::runFinished(const RunReport &)
{
    if (m_isTerminal && m_lastLineLength > 0) {
        redraw(true);
        m_out << '\n';
        m_out.flush();
    }
}

} // namespace tessaly
