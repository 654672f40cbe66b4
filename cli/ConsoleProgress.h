// Shows a run's progress on stderr: one rewritten line on a terminal, plain lines otherwise.
#pragma once

#include "conversion/RunObserver.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <ostream>
#include <string>

namespace tessaly {

class ConsoleProgress : public RunObserver
{
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    ConsoleProgress(std::ostream &out, bool isTerminal, Clock clock = &std::chrono::steady_clock::now);

    void mailboxStarted(int row, int rowCount, const std::string &mailboxPath) override;
    void messageFinished(int messageNumber, MessageOutcome outcome) override;
    void progressed(const RunProgress &progress) override;
    /// Ends the progress line so that what follows starts on a fresh line.
    void runFinished(const RunReport &report) override;

private:
    void redraw(bool force);

    std::ostream &m_out;
    bool m_isTerminal;
    Clock m_clock;
    std::chrono::steady_clock::time_point m_start;
    std::chrono::steady_clock::time_point m_lastDrawn{};
    int m_mailboxNumber = 0;
    int m_mailboxCount = 0;
    RunProgress m_progress;
    int m_messagesDone = 0;
    int m_messagesFailed = 0;
    std::size_t m_lastLineLength = 0;
};

} // namespace tessaly
