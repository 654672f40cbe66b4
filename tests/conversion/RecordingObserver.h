// A run observer for tests: everything the run tells it, recorded.
#pragma once

#include "conversion/RunObserver.h"

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
    std::vector<int> failedRows;
    std::uint64_t runStartedBytes = 0;
    std::vector<RunProgress> progress;
    bool runEnded = false;

    void runStarted(std::uint64_t totalBytes) override { runStartedBytes = totalBytes; }
    void mailboxStarted(int row, int rowCount, const std::string &mailboxPath) override
    {
        startedRows.emplace_back(row, rowCount);
        startedMailboxes.push_back(mailboxPath);
    }
    void mailboxConverted(int row) override { convertedRows.push_back(row); }
    void mailboxFailed(int row) override { failedRows.push_back(row); }
    void messageFinished(int messageNumber, MessageOutcome outcome) override
    {
        finishedMessages.emplace_back(messageNumber, outcome);
    }
    void progressed(const RunProgress &runProgress) override { progress.push_back(runProgress); }
    void runFinished(const RunReport &) override { runEnded = true; }
};

} // namespace tessaly::testing
