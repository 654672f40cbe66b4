// A run observer for tests: everything the run tells it, recorded.
#pragma once

#include "conversion/RunObserver.h"

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace tessaly::testing {

class RecordingObserver : public RunObserver
{
public:
    /// Each mailbox taken up: its row and the row count.
    std::vector<std::pair<int, int>> startedRows;
    std::vector<std::string> startedMailboxes;
    std::vector<std::pair<int, MessageOutcome>> finishedMessages;
    std::vector<int> convertedRows;
    std::uint64_t runStartedBytes = 0;
    std::vector<RunProgress> progress;
    bool runEnded = false;
    /// Runs at every call, as a window would process its events there.
    std::function<void()> onEveryCall;

    void runStarted(std::uint64_t totalBytes) override
    {
        runStartedBytes = totalBytes;
        called();
    }
    void mailboxStarted(int row, int rowCount, const std::string &mailboxPath) override
    {
        startedRows.emplace_back(row, rowCount);
        startedMailboxes.push_back(mailboxPath);
        called();
    }
    void mailboxConverted(int row) override { convertedRows.push_back(row); }
    void messageFinished(int messageNumber, MessageOutcome outcome) override
    {
        finishedMessages.emplace_back(messageNumber, outcome);
        called();
    }
    void progressed(const RunProgress &runProgress) override
    {
        progress.push_back(runProgress);
        called();
    }
    void runFinished(const RunReport &) override { runEnded = true; }

private:
    void called()
    {
        if (onEveryCall)
            onEveryCall();
    }
};

} // namespace tessaly::testing
