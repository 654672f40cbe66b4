// Whoever watches a conversion run: the window, the console, a test.
#pragma once

#include "conversion/RunReport.h"

#include <cstdint>
#include <string>

namespace tessaly {

/// How far a whole run has come.
struct RunProgress
{
    /// Bytes of the run's mailboxes that the splitter has consumed, over all mailboxes so far.
    std::uint64_t bytesSplit = 0;
    /// The size of all the run's mailboxes (each distinct mailbox once).
    std::uint64_t totalBytes = 0;
    /// Messages finished so far, converted or not.
    int messagesDone = 0;
};

/// What became of one message.
enum class MessageOutcome
{
    Converted,
    ConvertedEarlier,
    Failed
};

/// Told what a run does, as it does it. The run calls it often (after every message and every
/// piece of a mailbox read), so a window can process its pending events here.
class RunObserver
{
public:
    virtual ~RunObserver() = default;
    /// A run starts, over mailboxes of `totalBytes` bytes in all.
    virtual void runStarted(std::uint64_t totalBytes) { (void)totalBytes; }
    /// The run takes up row `row` (from 0) of its `rowCount` rows: the mailbox at `mailboxPath`.
    virtual void mailboxStarted(int row, int rowCount, const std::string &mailboxPath)
    {
        (void)row;
        (void)rowCount;
        (void)mailboxPath;
    }
    /// Row `row` is converted: its mailbox was read to the end (some of its messages may have
    /// failed), or it names a mailbox this run already converted.
    virtual void mailboxConverted(int row) { (void)row; }
    /// Row `row` failed: its mailbox could not be read, is no mailbox, or the disk filled.
    virtual void mailboxFailed(int row) { (void)row; }
    /// Message `messageNumber` of the current mailbox is done with.
    virtual void messageFinished(int messageNumber, MessageOutcome outcome)
    {
        (void)messageNumber;
        (void)outcome;
    }
    /// The run has come this far.
    virtual void progressed(const RunProgress &progress) { (void)progress; }
    /// The run has ended with `report`.
    virtual void runFinished(const RunReport &report) { (void)report; }
};

} // namespace tessaly
