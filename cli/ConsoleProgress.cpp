// Shows a run's progress on stderr: one rewritten line on a terminal, plain lines otherwise.
#include "ConsoleProgress.h"

#include <cstdio>
#include <numeric>
#include <string>

namespace tessaly {
namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(200);

std::string formatDuration(double seconds)
{
    const long long total = static_cast<long long>(seconds + 0.5);
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", total / 3600, total / 60 % 60, total % 60);
    return text;
}

} // namespace

ConsoleProgress::ConsoleProgress(std::ostream &out, bool isTerminal, std::vector<std::uint64_t> mailboxSizes,
                                 Clock clock)
    : m_out(out), m_isTerminal(isTerminal), m_mailboxSizes(std::move(mailboxSizes)),
      m_totalBytes(std::accumulate(m_mailboxSizes.begin(), m_mailboxSizes.end(), std::uint64_t{0})),
      m_clock(std::move(clock)), m_start(m_clock())
{
}

std::uint64_t ConsoleProgress::bytesDone() const
{
    std::uint64_t done = 0;
    for (int i = 0; i < m_mailboxIndex && i < static_cast<int>(m_mailboxSizes.size()); ++i)
        done += m_mailboxSizes[static_cast<std::size_t>(i)];
    return done + m_bytesInMailbox;
}

void ConsoleProgress::startMailbox(int index)
{
    m_mailboxIndex = index;
    m_bytesInMailbox = 0;
}

void ConsoleProgress::showMailboxProgress(const std::string &) {}

void ConsoleProgress::showMailboxFileName(const std::string &text)
{
    m_mailboxName = text;
    if (!m_isTerminal) {
        m_out << "mailbox " << m_mailboxIndex + 1 << " of " << m_mailboxSizes.size() << ": " << text << '\n';
        m_out.flush();
        return;
    }
    redraw(true);
}

void ConsoleProgress::showSavedProgress(const std::string &) {}

void ConsoleProgress::showMailboxBytesRead(std::uint64_t bytesRead, std::uint64_t)
{
    m_bytesInMailbox = bytesRead;
    redraw(false);
}

void ConsoleProgress::messageFinished(int, bool converted)
{
    converted ? ++m_messagesDone : ++m_messagesFailed;
    redraw(false);
}

void ConsoleProgress::setConvertEnabled(bool) {}

void ConsoleProgress::redraw(bool force)
{
    if (!m_isTerminal)
        return;
    const auto now = m_clock();
    if (!force && now - m_lastDrawn < kRedrawInterval)
        return;
    m_lastDrawn = now;

    const double elapsed = std::chrono::duration<double>(now - m_start).count();
    const std::uint64_t done = bytesDone();
    const double megabytesPerSecond = elapsed > 0 ? static_cast<double>(done) / 1e6 / elapsed : 0.0;
    std::string line = "mailbox " + std::to_string(m_mailboxIndex + 1) + " of " +
                       std::to_string(m_mailboxSizes.size()) + " | " + std::to_string(m_messagesDone) +
                       " messages";
    if (m_messagesFailed > 0)
        line += ", " + std::to_string(m_messagesFailed) + " failed";
    char rate[32];
    std::snprintf(rate, sizeof rate, " | %.1f MB/s", megabytesPerSecond);
    line += rate;
    if (done > 0 && m_totalBytes >= done && elapsed > 1.0)
        line += " | " + formatDuration(elapsed * static_cast<double>(m_totalBytes - done) / static_cast<double>(done)) +
                " left";
    const std::size_t length = line.size();
    if (length < m_lastLineLength)
        line.append(m_lastLineLength - length, ' ');
    m_lastLineLength = length;
    m_out << '\r' << line;
    m_out.flush();
}

void ConsoleProgress::finish()
{
    if (m_isTerminal && m_lastLineLength > 0) {
        redraw(true);
        m_out << '\n';
        m_out.flush();
    }
}

} // namespace tessaly
