// Shows a run's progress on stderr: one rewritten line on a terminal, plain lines otherwise.
#pragma once

#include "ConversionView.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <ostream>
#include <vector>

namespace tessaly {

class ConsoleProgress : public ProgressDisplay
{
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    /// `mailboxSizes` are the byte sizes of the mailboxes in run order, for the rate and the
    /// estimate of the time left.
    ConsoleProgress(std::ostream &out, bool isTerminal, std::vector<std::uint64_t> mailboxSizes,
                    Clock clock = &std::chrono::steady_clock::now);

    /// Called as the run takes up mailbox `index` (from 0).
    void startMailbox(int index);
    /// Ends the progress line so that what follows starts on a fresh line.
    void finish();

    int messagesDone() const { return m_messagesDone; }
    int messagesFailed() const { return m_messagesFailed; }

    void showMailboxProgress(const std::string &text) override;
    void showMailboxFileName(const std::string &text) override;
    void showSavedProgress(const std::string &text) override;
    void showMailboxBytesRead(std::uint64_t bytesRead, std::uint64_t mailboxSize) override;
    void messageFinished(int messageNumber, bool converted) override;
    void setConvertEnabled(bool enabled) override;

private:
    void redraw(bool force);
    std::uint64_t bytesDone() const;

    std::ostream &m_out;
    bool m_isTerminal;
    std::vector<std::uint64_t> m_mailboxSizes;
    std::uint64_t m_totalBytes = 0;
    Clock m_clock;
    std::chrono::steady_clock::time_point m_start;
    std::chrono::steady_clock::time_point m_lastDrawn{};
    int m_mailboxIndex = -1;
    std::uint64_t m_bytesInMailbox = 0;
    std::string m_mailboxName;
    int m_messagesDone = 0;
    int m_messagesFailed = 0;
    std::size_t m_lastLineLength = 0;
};

} // namespace tessaly
