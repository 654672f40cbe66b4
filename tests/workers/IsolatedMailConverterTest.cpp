// The supervisor: messages go to watched workers, which render them as an unprivileged user;
// the supervisor commits them in the order they were begun. A message that hangs, allocates
// without end or crashes twice fails alone, with its reason, and the next one gets a fresh worker.
#include "workers/IsolatedMailConverter.h"
#include "support/PathHelpers.h"
#include "workers/WorkerIdentity.h"
#include "workers/WorkerProtocol.h"

#include "tests/TestSupport/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <iostream>
#include <linux/capability.h>
#include <pwd.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

using namespace tessaly;
using tessaly::testing::TempFolder;

namespace {

WorkerCommand fakeWorker()
{
    return WorkerCommand{TESSALY_FAKE_WORKER, {}};
}

FileInFolder at(const std::string &path)
{
    return fileAt(path).value();
}

bool processExists(long id)
{
    return std::filesystem::exists("/proc/" + std::to_string(id));
}

/// Converts a message file holding `what` and returns the result.
Result<ConvertedMessage> convert(IsolatedMailConverter &converter, const TempFolder &folder, const std::string &what,
                                 const std::string &name)
{
    return converter.Convert(folder.write(name + ".eml", what), folder.file(name + ".pdf"), "-c pdf");
}

std::string fileText(const std::string &path)
{
    Result<std::string> bytes = readFileBytes(path);
    return bytes ? bytes.value() : "(unreadable)";
}

/// `what` fails with the reason returned; the message begun behind it, already waiting in the
/// worker's input, is converted by a new worker, and the old one is gone.
std::string failureWithNextBehind(IsolatedMailConverter &converter, const TempFolder &folder, const std::string &what)
{
    const long failedWorker = converter.workerId();
    converter.begin(at(folder.write(what + ".eml", what)), at(folder.file(what + ".pdf")), "-c pdf");
    converter.begin(at(folder.write("next.eml", "next")), at(folder.file("next.pdf")), "-c pdf");
    Result<ConvertedMessage> failed = converter.finishOldest();
    Result<ConvertedMessage> next = converter.finishOldest();
    EXPECT_FALSE(processExists(failedWorker));
    EXPECT_TRUE(next) << next.error().message;
    EXPECT_NE(converter.workerId(), failedWorker);
    EXPECT_EQ(fileText(folder.file("next.pdf")), "next");
    if (failed)
        return "converted";
    return failed.error().message + " (" + std::string(failureToken(failed.error().kind)) + ")";
}

/// The user id workers run as: nobody's when the tests run as root.
std::string expectedWorkerUser()
{
    const passwd *nobody = ::getpwnam("nobody");
    return std::to_string(::geteuid() == 0 && nobody ? nobody->pw_uid : ::geteuid());
}

/// The namespace of `kind` ("net", "mnt", "pid", "ipc") process `id` is in.
std::string namespaceOf(long id, const char *kind)
{
    std::error_code error;
    return std::filesystem::read_symlink("/proc/" + std::to_string(id) + "/ns/" + kind, error).string();
}

/// The kinds of namespace process `id` shares with this one.
std::vector<std::string> namespacesSharedWith(long id)
{
    std::vector<std::string> shared;
    for (const char *kind : {"net", "mnt", "pid", "ipc"}) {
        if (namespaceOf(id, kind) == namespaceOf(::getpid(), kind))
            shared.push_back(kind);
    }
    return shared;
}

/// Gives up the administrator's right to make namespaces, as in a container that withholds it.
bool giveUpTheRightToMakeNamespaces()
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct rights[2]{};
    if (::syscall(SYS_capget, &header, rights) != 0)
        return false;
    for (__user_cap_data_struct &right : rights) {
        right.effective &= ~(1u << CAP_SYS_ADMIN);
        right.permitted &= ~(1u << CAP_SYS_ADMIN);
    }
    return ::syscall(SYS_capset, &header, rights) == 0;
}

/// Converts two messages without that right; prints the run's warnings, one per line in
/// brackets. 0 when both converted in workers that share this process's namespaces.
int convertWithoutTheRightToMakeNamespaces()
{
    if (!giveUpTheRightToMakeNamespaces())
        return 2;
    TempFolder folder;
    IsolatedMailConverter converter(fakeWorker(), WorkerLimits{}, 2);
    const bool converted = convert(converter, folder, "one", "1") && convert(converter, folder, "two", "2");
    for (const std::string &warning : converter.runWarnings())
        std::cerr << "[" << warning << "]\n";
    return converted && namespacesSharedWith(converter.workerId()).size() == 4 ? 0 : 1;
}

} // namespace

TEST(WorkerProtocol, FramesRoundTripAndTornFramesWait)
{
    const std::string request = encodeRequest({"a b.eml", {"ü.pdf", {"x.txt", "y"}}, "-c pdf"});
    std::string buffer = request.substr(0, 7);
    EXPECT_FALSE(takeFrame(buffer).value());
    buffer += request.substr(7) + std::string("\0\0", 2);
    const std::optional<std::string> payload = takeFrame(buffer).value();
    ASSERT_TRUE(payload);
    const WorkerRequest decodedRequest = decodeRequest(*payload).value();
    EXPECT_EQ(decodedRequest.messageName, "a b.eml");
    EXPECT_EQ(decodedRequest.options, "-c pdf");
    EXPECT_EQ(decodedRequest.target, (CommitPlan{"ü.pdf", {"x.txt", "y"}}));
    EXPECT_EQ(buffer, std::string("\0\0", 2));

    const std::string digest(64, 'a');
    RenderedMessage rendered{ConvertedMessage{"x.pdf", 0, 2, {"one", ""}, true, digest},
                             "%PDF",
                             {{"a.txt", "a"}, {"b", ""}, {"c", "ccc"}},
                             std::string(64, 'b'),
                             true};
    // Carried in the frame, or placed in an output file the frame points into.
    auto output = std::make_shared<OpenFile>(OpenFile::makeUnnamed().value());
    for (OpenFile *into : {static_cast<OpenFile *>(nullptr), output.get()}) {
        SCOPED_TRACE(into ? "in a file" : "in the frame");
        std::string answer = encodeAnswer(rendered, into).value();
        const Result<RenderedMessage> decoded = decodeAnswer(*takeFrame(answer).value(), output).value();
        EXPECT_EQ(decoded.value().converted.warnings, rendered.converted.warnings);
        EXPECT_TRUE(decoded.value().converted.keepMessageFile);
        EXPECT_EQ(decoded.value().converted.embeddedSourceSha256, digest);
        EXPECT_EQ(decoded.value().messageDigest, rendered.messageDigest);
        EXPECT_TRUE(decoded.value().htmlRendererCrashed);
        EXPECT_EQ(decoded.value().converted.attachmentsEmbedded, 2);
        EXPECT_TRUE(decoded.value().converted.writtenPath.empty()) << "an answer names no path";
        EXPECT_EQ(decoded.value().pdf.read().value(), "%PDF");
        ASSERT_EQ(decoded.value().attachments.size(), 3u);
        EXPECT_EQ(decoded.value().attachments[1].name, "b");
        EXPECT_EQ(decoded.value().attachments[1].bytes.read().value(), "");
        EXPECT_EQ(decoded.value().attachments[2].bytes.read().value(), "ccc");
    }
    EXPECT_EQ(output->size().value(), 8u) << "each answer writes the output file afresh";
    // The kind crosses with the reason; a failure without one is out of bounds.
    std::string timedOut = encodeAnswer(Error{"too slow", FailureKind::OverTimeLimit}).value();
    const Error decoded = decodeAnswer(*takeFrame(timedOut).value()).value().error();
    EXPECT_EQ(decoded.message, "too slow");
    EXPECT_EQ(decoded.kind, FailureKind::OverTimeLimit);
    std::string untagged = encodeFrame({"failed", "why"});
    EXPECT_EQ(decodeAnswer(*takeFrame(untagged).value()).error().kind, FailureKind::WorkerOutOfBounds);

    std::string garbage = "\xff\xff\xff\xffxyz";
    EXPECT_FALSE(takeFrame(garbage));
}

TEST(WorkerProtocol, PlacesOutsideTheOutputFileAreRefused)
{
    auto output = std::make_shared<OpenFile>(OpenFile::makeUnnamed().value());
    ASSERT_TRUE(output->write("%PDF-1.7 ..."));
    struct Case
    {
        std::vector<std::string_view> fields;
        std::shared_ptr<const OpenFile> file;
        bool accepted;
    };
    const std::vector<Case> cases{
        {{"rendered", "pdf-at", "0", "12"}, output, true},
        {{"rendered", "pdf-at", "12", "0"}, output, true},
        {{"rendered", "pdf-at", "13", "0"}, output, false},
        {{"rendered", "pdf-at", "2", "11"}, output, false},
        {{"rendered", "pdf-at", "18446744073709551615", "2"}, output, false},
        {{"rendered", "pdf-at", "1", "18446744073709551615"}, output, false},
        {{"rendered", "pdf-at", "-1", "2"}, output, false},
        {{"rendered", "pdf-at", "0x1", "2"}, output, false},
        {{"rendered", "pdf-at", "0", "4"}, nullptr, false},
        {{"rendered", "pdf", "%PDF", "file-at", "a.txt", "4", "9"}, output, false},
        {{"rendered", "pdf", "%PDF", "file-at", "a.txt", "4", "8"}, output, true},
    };
    for (const Case &row : cases) {
        std::string frame = encodeFrame(row.fields);
        const Result<Result<RenderedMessage>> answer = decodeAnswer(*takeFrame(frame).value(), row.file);
        EXPECT_EQ(answer.ok(), row.accepted) << row.fields[2] << " " << row.fields[3];
    }
}

TEST(IsolatedMailConverter, OneUnprivilegedWorkerRendersMessageAfterMessageAndTheRunCommits)
{
    TempFolder folder;
    // A folder the workers' user cannot even look into: they get bytes and send bytes back.
    ::chmod(folder.path().c_str(), 0700);
    IsolatedMailConverter converter(fakeWorker(), WorkerLimits{});
    ASSERT_TRUE(convert(converter, folder, "first", "1"));
    const long worker = converter.workerId();
    Result<ConvertedMessage> failed = convert(converter, folder, "fail", "2");
    EXPECT_EQ(failed.error().message, "cannot render: fail");
    Result<ConvertedMessage> third = convert(converter, folder, "attach", "3");
    ASSERT_TRUE(third) << third.error().message;
    EXPECT_EQ(third.value().writtenPath, folder.file("3.pdf"));
    EXPECT_EQ(third.value().warnings, (std::vector<std::string>{"options -c pdf", "user " + expectedWorkerUser()}));
    EXPECT_EQ(converter.workerId(), worker);

    EXPECT_EQ(fileText(folder.file("3.pdf")), "attach");
    EXPECT_EQ(fileText(folder.file("3 attachments/a.txt")), "attached");
    struct stat pdf
    {
    };
    ASSERT_EQ(::stat(folder.file("3.pdf").c_str(), &pdf), 0);
    EXPECT_EQ(pdf.st_uid, ::geteuid());
    EXPECT_FALSE(std::filesystem::exists(folder.file("2.pdf")));
}

TEST(IsolatedMailConverter, TheWorkerCannotSteerWhereFilesAreWritten)
{
    TempFolder outside;
    const std::string messages = outside.folder("out/mailbox");
    WorkerLimits limits;
    limits.memoryBytes = 64 * 1024 * 1024;
    IsolatedMailConverter converter(fakeWorker(), limits);
    const auto convertIn = [&](const std::string &what) {
        return converter.Convert(outside.write("out/mailbox/email.eml", what),
                                 outside.file("out/mailbox/" + what + ".pdf"), "-c PDF -sattach");
    };

    Result<ConvertedMessage> escaped = convertIn("escape");
    ASSERT_TRUE(escaped) << escaped.error().message;
    EXPECT_EQ(escaped.value().writtenPath, outside.file("out/mailbox/escape.pdf"));
    EXPECT_EQ(TempFolder::fileNames(outside.path()), std::vector<std::string>{"out"});
    EXPECT_EQ(TempFolder::fileNames(outside.file("out")), std::vector<std::string>{"mailbox"});
    EXPECT_EQ(TempFolder::fileNames(messages),
              (std::vector<std::string>{"email.eml", "escape attachments", "escape.pdf"}));
    // Each name made safe in the attachments folder, unique ignoring case, with no path left in it.
    EXPECT_EQ(TempFolder::fileNames(outside.file("out/mailbox/escape attachments")),
              (std::vector<std::string>{"A.TXT", "_CON", "a (2).txt", "attachment-3.bin", "attachment-4.bin",
                                        "escaped.txt", "n.txt", "tessaly-escaped.txt", "y.txt", "z.txt"}));
    EXPECT_FALSE(std::filesystem::exists("/tmp/tessaly-escaped.txt"));

    for (const std::string what :
         {"save too many files", "claim a huge answer", "place the PDF past the end", "write a file past the limit"}) {
        SCOPED_TRACE(what);
        const long worker = converter.workerId();
        Result<ConvertedMessage> refused = convertIn(what);
        ASSERT_FALSE(refused);
        EXPECT_TRUE(refused.error().message.starts_with("worker answered out of bounds: ")) << refused.error().message;
        EXPECT_EQ(refused.error().kind, FailureKind::WorkerOutOfBounds);
        EXPECT_FALSE(processExists(worker));
        EXPECT_FALSE(std::filesystem::exists(outside.file("out/mailbox/" + what + ".pdf")));
    }
    EXPECT_TRUE(convertIn("after"));
}

TEST(IsolatedMailConverter, AHangingMessageFailsAloneAfterItsTimeout)
{
    TempFolder folder;
    WorkerLimits limits;
    limits.messageTimeout = std::chrono::milliseconds(700);
    IsolatedMailConverter converter(fakeWorker(), limits);
    ASSERT_TRUE(convert(converter, folder, "before", "before"));
    // Not tried again, though it would convert then: it would only hang again.
    EXPECT_EQ(failureWithNextBehind(converter, folder, "hang once"), "took longer than 0.7 s (time-limit)");
}

TEST(IsolatedMailConverter, AStopBreaksOffTheWaitForAHangingMessageWithoutPlacingItsPdf)
{
    TempFolder folder;
    WorkerLimits limits;
    // Far beyond the stop: a wait that is not broken off fails by the limit instead.
    limits.messageTimeout = std::chrono::seconds(30);
    IsolatedMailConverter converter(fakeWorker(), limits);
    int asked = 0;
    converter.stopWaitingWhen([&asked] { return ++asked > 1; });
    converter.begin(at(folder.write("hang.eml", "hang")), at(folder.file("hang.pdf")), "-c pdf");

    const Result<ConvertedMessage> stopped = converter.finishOldest();
    ASSERT_FALSE(stopped);
    EXPECT_EQ(stopped.error().message, "the run was stopped");
    EXPECT_FALSE(std::filesystem::exists(folder.file("hang.pdf")));
}

TEST(IsolatedMailConverter, MemoryOfTheWholeProcessTreeIsLimited)
{
    TempFolder folder;
    WorkerLimits limits;
    limits.memoryBytes = 96 * 1024 * 1024;
    IsolatedMailConverter converter(fakeWorker(), limits);
    // Like a timeout, not tried again.
    for (const std::string what : {"allocate once", "allocate in a child once"}) {
        SCOPED_TRACE(what);
        ASSERT_TRUE(convert(converter, folder, "before", "before " + what));
        EXPECT_EQ(failureWithNextBehind(converter, folder, what), "needed more than 96 MB (memory-limit)");
    }
}

TEST(IsolatedMailConverter, AMessageWhoseWorkerOrRendererCrashedIsConvertedOnceMoreInAFreshWorker)
{
    TempFolder folder;
    IsolatedMailConverter converter(fakeWorker(), WorkerLimits{});
    for (const std::string what : {"crash once", "lose the renderer once"}) {
        SCOPED_TRACE(what);
        ASSERT_TRUE(convert(converter, folder, "before", "before " + what));
        const long crashedWorker = converter.workerId();
        Result<ConvertedMessage> converted = convert(converter, folder, what, what);
        ASSERT_TRUE(converted) << converted.error().message;
        EXPECT_EQ(converted.value().warnings,
                  (std::vector<std::string>{"options -c pdf", "user " + expectedWorkerUser(),
                                            "converted after the converter process crashed once"}));
        EXPECT_EQ(fileText(folder.file(what + ".pdf")), what);
        EXPECT_FALSE(processExists(crashedWorker));
    }
    // A second time, the renderer's page drawn as plain text is kept as it came.
    Result<ConvertedMessage> drawnAsText = convert(converter, folder, "lose the renderer twice", "twice");
    ASSERT_TRUE(drawnAsText) << drawnAsText.error().message;
    EXPECT_EQ(drawnAsText.value().warnings.back(), "the HTML body was drawn by the plain-text renderer");
}

TEST(IsolatedMailConverter, ASecondCrashFailsOnlyItsMessage)
{
    TempFolder folder;
    IsolatedMailConverter converter(fakeWorker(), WorkerLimits{});
    ASSERT_TRUE(convert(converter, folder, "before", "before"));
    EXPECT_EQ(failureWithNextBehind(converter, folder, "crash twice"),
              "the converter process was killed by signal 4 (worker-crashed)");

    IsolatedMailConverter missing(WorkerCommand{folder.file("no-such-worker"), {}}, WorkerLimits{});
    EXPECT_NE(convert(missing, folder, "x", "x").error().message.find("cannot start"), std::string::npos);
}

TEST(IsolatedMailConverter, ManyWorkersCommitInOrderUnderTheNamesOfAOneAtATimeRun)
{
    TempFolder folder;
    IsolatedMailConverter converter(fakeWorker(), WorkerLimits{}, 2);
    ASSERT_EQ(converter.capacity(), 6);
    // Four messages for one name: the second is planned as "(2)" while the first renders.
    // The first fails, so the later ones are renamed at their turn, as if it had never begun.
    const std::vector<std::string> texts{"fail", "attach", "two", "crash"};
    for (std::size_t i = 0; i < texts.size(); ++i)
        converter.begin(at(folder.write(std::to_string(i) + ".eml", texts[i])), at(folder.file("Same.pdf")), "-c pdf");
    std::vector<std::string> outcomes;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        Result<ConvertedMessage> finished = converter.finishOldest();
        outcomes.push_back(finished ? PathFileName(finished.value().writtenPath) : finished.error().message);
    }
    EXPECT_EQ(outcomes, (std::vector<std::string>{"cannot render: fail", "Same.pdf", "Same (2).pdf",
                                                  "the converter process was killed by signal 4"}));
    EXPECT_EQ(fileText(folder.file("Same.pdf")), "attach");
    EXPECT_EQ(fileText(folder.file("Same attachments/a.txt")), "attached");
    EXPECT_EQ(fileText(folder.file("Same (2).pdf")), "two");
    EXPECT_EQ(TempFolder::fileNames(folder.path()).size(), 7u); // 4 message files, 2 PDFs, 1 folder
}

TEST(IsolatedMailConverter, AWorkerSeesOnlyLoopbackAndWritesNothingOutsideItsNamespaces)
{
    if (const WorkerNamespaces &namespaces = prepareWorkerNamespaces(); namespaces.warning)
        GTEST_SKIP() << *namespaces.warning;
    TempFolder folder;
    // Anyone may write here: only the worker's read-only view of the file system keeps it out.
    ::chmod(folder.path().c_str(), 0777);
    IsolatedMailConverter converter(fakeWorker(), WorkerLimits{});
    ASSERT_TRUE(convert(converter, folder, "interfaces", "interfaces"));
    EXPECT_EQ(fileText(folder.file("interfaces.pdf")), "lo");
    ASSERT_TRUE(convert(converter, folder, "write " + folder.file("outside"), "write"));
    EXPECT_EQ(fileText(folder.file("write.pdf")), "cannot write");
    EXPECT_FALSE(std::filesystem::exists(folder.file("outside")));
    EXPECT_EQ(namespacesSharedWith(converter.workerId()), std::vector<std::string>{});
}

TEST(IsolatedMailConverter, WhereNamespacesAreRefusedTheRunWarnsOnceAndConvertsAllTheSame)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "only the administrator can give up the right to make namespaces";
    // A process of its own, which decides afresh whether workers get namespaces.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        std::exit(convertWithoutTheRightToMakeNamespaces()), ::testing::ExitedWithCode(0),
        "\\[the converter workers run without namespaces of their own \\(cannot make the namespaces: Operation not "
        "permitted\\), so their HTML renderer shares this system's network, processes and file system\\]");
}

#ifdef TESSALY_REAL_WORKER
/// The user ids in /proc/<id>/status: real, effective, saved and file system.
static std::string processUserIds(long id)
{
    const std::string status = fileText("/proc/" + std::to_string(id) + "/status");
    const std::size_t line = status.find("\nUid:");
    return line == std::string::npos ? "" : status.substr(line + 5, status.find('\n', line + 1) - line - 5);
}

TEST(IsolatedMailConverter, TheRealWorkerRendersAsAnUnprivilegedUserInItsSandbox)
{
    TempFolder folder;
    ::chmod(folder.path().c_str(), 0700);
    const std::string message = "From: ann@example.com\r\nSubject: Report\r\nMIME-Version: 1.0\r\n"
                                "Content-Type: multipart/mixed; boundary=b\r\n\r\n--b\r\n"
                                "Content-Type: text/html\r\n\r\n<p>Quarterly <b>figures</b></p>\r\n--b\r\n"
                                "Content-Type: text/plain; name=notes.txt\r\nContent-Disposition: attachment\r\n\r\n"
                                "the notes\r\n--b--\r\n";
    IsolatedMailConverter converter(WorkerCommand{TESSALY_REAL_WORKER, {}}, WorkerLimits{});
    Result<ConvertedMessage> converted =
        converter.Convert(folder.write("email-1.eml", message), folder.file("Report.pdf"), "-c PDF -sattach");
    ASSERT_TRUE(converted) << converted.error().message;
    EXPECT_TRUE(converted.value().warnings.empty()) << converted.value().warnings.front();

    if (!prepareWorkerNamespaces().warning) {
        EXPECT_EQ(namespacesSharedWith(converter.workerId()), std::vector<std::string>{});
    }
    const std::string ids = processUserIds(converter.workerId());
    std::istringstream fields(ids);
    for (std::string id; fields >> id;)
        EXPECT_EQ(id, expectedWorkerUser()) << ids;
    EXPECT_EQ(fileText(folder.file("Report.pdf")).substr(0, 5), "%PDF-");
    EXPECT_EQ(fileText(folder.file("Report attachments/notes.txt")), "the notes");
    for (const std::string &written : {folder.file("Report.pdf"), folder.file("Report attachments/notes.txt")}) {
        struct stat file
        {
        };
        ASSERT_EQ(::stat(written.c_str(), &file), 0);
        EXPECT_EQ(file.st_uid, ::geteuid());
    }
}
#endif
