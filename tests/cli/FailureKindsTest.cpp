// Each kind of failure, made for real through a run with a worker, as the index file and the
// command line's report name it.
#include "cli/RunSummary.h"
#include "conversion/ConversionRun.h"
#include "conversion/MessageIndex.h"
#include "conversion/OutputTree.h"
#include "tests/conversion/FakeMessageReader.h"
#include "tests/conversion/RecordingObserver.h"
#include "tests/TestSupport/TempFolder.h"
#include "workers/IsolatedMailConverter.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>

#include <sys/mount.h>

using namespace tessaly;
using namespace tessaly::testing;

namespace {

std::string message(const std::string &body)
{
    return "From someone@example.org Fri Mar  5 10:00:00 2021\nSubject: One\n\n" + body + "\n";
}

std::string fileText(const std::string &path)
{
    std::ifstream file(toFsPath(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

/// Unmounts the small disk a case put under its output folder.
struct SmallDisk
{
    std::string path;
    bool mounted = false;
    explicit SmallDisk(std::string at) : path(std::move(at))
    {
        mounted = ::mount("tmpfs", path.c_str(), "tmpfs", 0, "size=1m") == 0;
    }
    ~SmallDisk()
    {
        if (mounted)
            ::umount2(path.c_str(), MNT_DETACH);
    }
};

TEST(FailureKinds, EachRealFailureGivesItsIndexTokenAndReportLine)
{
    const struct
    {
        const char *name;
        /// The mailbox's one message, which the fake worker acts on; none for a missing mailbox.
        std::optional<std::string> body;
        FailureKind kind;
        /// The index row's status; "" when the failure leaves no row.
        std::string status;
        std::string reportLine;
        bool onSmallDisk = false;
        bool stopWhileConverting = false;
    } cases[] = {
        {"a full disk", std::string(1536 * 1024, 'x'), FailureKind::DiskFull, "failed: disk-full",
         "message 1 (byte 0): the disk is full: ", true},
        {"a timeout", "hang", FailureKind::OverTimeLimit, "failed: time-limit",
         "message 1 (byte 0): over the time limit: took longer than 0.5 s"},
        {"a stop", "hang", FailureKind::StoppedByUser, "", "the run was stopped at message 1 of '", false, true},
        {"a malformed message, as the worker found it", "fail malformed-message", FailureKind::MalformedMessage,
         "failed: malformed-message", "message 1 (byte 0): malformed message: cannot render: fail malformed-message"},
        {"an unreadable file", std::nullopt, FailureKind::Unreadable, "",
         "': could not be read: cannot open the mailbox: "},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder temp;
        const std::string mailbox = c.body ? temp.write("m/box.mbox", message(*c.body)) : temp.file("m/gone.mbox");
        const std::string out = temp.folder("out");
        const SmallDisk disk(c.onSmallDisk ? out : std::string());
        if (c.onSmallDisk && !disk.mounted) {
            std::cout << "skipped " << c.name << ": cannot mount a small tmpfs here (needs root)\n";
            continue;
        }
        WorkerLimits limits;
        limits.messageTimeout = std::chrono::milliseconds(500);
        RecordingObserver observer;
        ConversionRun run(wholeMailboxRows({mailbox}), {}, observer,
                          isolatedMailConverterFactory(WorkerCommand{TESSALY_FAKE_WORKER, {}}, limits, 1, {}),
                          fakeReaderFactory());
        const std::string messageFile = joinPath(mailboxOutputFolder(out, mailbox).value(), "email-1.eml");
        if (c.stopWhileConverting)
            run.stopWhen([&] { return std::filesystem::exists(toFsPath(messageFile)); });

        const RunReport report = run.convertInto(out);
        const std::string problems = formatRunProblems(report);
        EXPECT_NE(problems.find(c.reportLine), std::string::npos) << problems;
        const std::string index =
            fileText(joinPath(mailboxOutputFolder(out, mailbox).value(), std::string(kIndexFileName)));
        if (c.status.empty()) {
            EXPECT_EQ(index.find("failed"), std::string::npos) << index;
        } else {
            EXPECT_NE(index.find("," + c.status + "," + std::string(failureText(c.kind)) + ": "), std::string::npos)
                << index;
        }
        if (c.kind == FailureKind::StoppedByUser) {
            ASSERT_TRUE(report.stoppedByUser());
        } else if (c.kind == FailureKind::Unreadable) {
            ASSERT_EQ(report.failedMailboxes.size(), 1u);
            EXPECT_EQ(report.failedMailboxes[0].error.kind, c.kind);
        } else {
            ASSERT_EQ(report.failedMessages.size(), 1u) << problems;
            EXPECT_EQ(report.failedMessages[0].error.kind, c.kind);
        }
    }
}

} // namespace
