// The run's front end for tests: rows and options set by the test, progress recorded.
#pragma once

#include "ConversionView.h"

#include <string>
#include <vector>

namespace tessaly::testing {

class FakeRunView : public MailboxRows, public ConversionOptions, public ProgressDisplay
{
public:
    std::vector<std::string> rows;
    NamingOption naming = NamingOption::OptOriginal;
    AttachmentChoice attachments;

    std::vector<int> currentRows;
    std::vector<std::string> mailboxProgress;
    std::vector<std::string> mailboxFileNames;
    std::vector<std::string> savedProgress;
    std::vector<std::pair<int, bool>> finishedMessages;
    std::vector<bool> convertEnabledChanges;
    unsigned long long lastBytesRead = 0;
    std::vector<int> markedRows;
    std::uint64_t runStartedBytes = 0;
    std::vector<RunProgress> runProgress;
    bool runEnded = false;

    int mailboxRowCount() const override { return static_cast<int>(rows.size()); }
    std::string mailboxRowText(int row) const override { return rows.at(static_cast<std::size_t>(row)); }
    void showCurrentMailboxRow(int row) override { currentRows.push_back(row); }
    void clearMailboxRowMarks() override { markedRows.clear(); }
    void markMailboxRowConverted(int row) override { markedRows.push_back(row); }

    NamingOption namingOption() const override { return naming; }
    AttachmentChoice attachmentChoice() const override { return attachments; }

    void showMailboxProgress(const std::string &text) override { mailboxProgress.push_back(text); }
    void showMailboxFileName(const std::string &text) override { mailboxFileNames.push_back(text); }
    void showSavedProgress(const std::string &text) override { savedProgress.push_back(text); }
    void showMailboxBytesRead(std::uint64_t bytesRead, std::uint64_t) override { lastBytesRead = bytesRead; }
    void messageFinished(int messageNumber, bool converted) override
    {
        finishedMessages.emplace_back(messageNumber, converted);
    }
    void setConvertEnabled(bool enabled) override { convertEnabledChanges.push_back(enabled); }
    void runStarted(std::uint64_t totalBytes) override { runStartedBytes = totalBytes; }
    void showRunProgress(const RunProgress &progress) override { runProgress.push_back(progress); }
    void runFinished() override { runEnded = true; }
};

} // namespace tessaly::testing
