// What a conversion run did: counts, and every failure with its reason.
#pragma once

#include "support/FailureKind.h"
#include "support/Result.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tessaly {

/// A message that did not become a PDF. Its message file is kept at `keptMessageFile`.
struct MessageFailure
{
    std::string mailbox;
    int messageNumber = 0;
    std::string keptMessageFile;
    /// Why, and of what kind.
    Error error;
    /// Where the message starts in its mailbox, in bytes.
    unsigned long long offset = 0;
};

/// Where a run ended early, and why: a full disk ends it at once rather than failing every
/// later message, and the user may stop it. A re-run into the same folder resumes from there.
struct RunStop
{
    std::string mailbox;
    /// The message it stopped at; 0 when it stopped before the mailbox's first.
    int messageNumber = 0;
    /// Why: a full disk, or the user (FailureKind::StoppedByUser).
    Error error;
};

/// A mailbox that could not be read or written at all.
struct MailboxFailure
{
    std::string mailbox;
    Error error;
};

struct RunReport
{
    /// The folder the run wrote below.
    std::string outputFolder;
    int mailboxesRead = 0;
    int messagesConverted = 0;
    /// Messages an earlier run had converted into the same folder, left alone.
    int messagesSkipped = 0;
    /// Of messagesConverted, those the converter had something to say about (see warnings).
    int messagesWithWarnings = 0;
    std::vector<MessageFailure> failedMessages;
    std::vector<MailboxFailure> failedMailboxes;
    /// Mailboxes that held no message (empty or blank files). Not a failure: mail clients keep
    /// empty folders as 0-byte files.
    std::vector<std::string> emptyMailboxes;
    /// Notes from the converter, such as a fallback renderer having been used.
    std::vector<std::string> warnings;
    /// Rows that name a mailbox file the run had already converted; each file is read once.
    std::vector<std::string> skippedDuplicates;
    unsigned long long bytesRead = 0;
    /// Set when the run ended before its last message.
    std::optional<RunStop> stoppedAt;
    /// How long the run took.
    double seconds = 0;

    /// The failed messages grouped by kind, the kinds in FailureKind's order, none empty.
    std::vector<std::pair<FailureKind, std::vector<MessageFailure>>> failuresByKind() const;

    /// Nothing failed and the run went to its end.
    bool allSucceeded() const { return failedMessages.empty() && failedMailboxes.empty() && !stoppedAt; }
    bool stoppedByUser() const { return stoppedAt && stoppedAt->error.kind == FailureKind::StoppedByUser; }
};

} // namespace tessaly
