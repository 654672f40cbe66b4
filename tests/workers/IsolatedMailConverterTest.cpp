// The supervisor: messages go to a watched worker; one that hangs, allocates without end or
// crashes fails alone, with its reason, and the next message gets a fresh worker.
#include "IsolatedMailConverter.h"
#include "WorkerProtocol.h"

#include "TestSupport/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace tessaly;
using tessaly::testing::TempFolder;

namespace {

WorkerCommand fakeWorker()
{
    return WorkerCommand{TESSALY_FAKE_WORKER, {}};
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

/// After a failure, the next message converts in a new worker and the old one is gone.
void expectFreshWorkerConverts(IsolatedMailConverter &converter, const TempFolder &folder, long failedWorker)
{
    EXPECT_FALSE(processExists(failedWorker));
    Result<ConvertedMessage> next = convert(converter, folder, "next", "next");
    ASSERT_TRUE(next) << next.error().message;
    EXPECT_NE(converter.workerId(), failedWorker);
    EXPECT_TRUE(std::filesystem::exists(folder.file("next.pdf")));
}

} // namespace

TEST(WorkerProtocol, FramesRoundTripAndTornFramesWait)
{
    const std::string request = encodeRequest({"a b.eml", "ü.pdf", "-c pdf"});
    std::string buffer = request.substr(0, 7);
    EXPECT_FALSE(takeFrame(buffer).value());
    buffer += request.substr(7) + std::string("\0\0", 2);
    const std::optional<std::string> payload = takeFrame(buffer).value();
    ASSERT_TRUE(payload);
    EXPECT_EQ(decodeRequest(*payload).value().destination, "ü.pdf");
    EXPECT_EQ(buffer, std::string("\0\0", 2));

    ConvertedMessage converted{"x.pdf", {"one", ""}, true, "ab12"};
    std::string answer = encodeAnswer(converted);
    const Result<ConvertedMessage> decoded = decodeAnswer(*takeFrame(answer).value()).value();
    EXPECT_EQ(decoded.value().warnings, converted.warnings);
    EXPECT_TRUE(decoded.value().keepMessageFile);
    EXPECT_EQ(decoded.value().embeddedSourceSha256, "ab12");
    answer = encodeAnswer(Error{"why"});
    EXPECT_EQ(decodeAnswer(*takeFrame(answer).value()).value().error().message, "why");

    std::string garbage = "\xff\xff\xff\xffxyz";
    EXPECT_FALSE(takeFrame(garbage));
}

TEST(IsolatedMailConverter, OneWorkerServesMessageAfterMessage)
{
    TempFolder folder;
    IsolatedMailConverter converter(fakeWorker(), WorkerLimits{});
    ASSERT_TRUE(convert(converter, folder, "first", "1"));
    const long worker = converter.workerId();
    Result<ConvertedMessage> failed = convert(converter, folder, "fail", "2");
    EXPECT_EQ(failed.error().message, "cannot render: fail");
    Result<ConvertedMessage> third = convert(converter, folder, "third", "3");
    ASSERT_TRUE(third);
    EXPECT_EQ(third.value().writtenPath, folder.file("3.pdf"));
    EXPECT_EQ(third.value().warnings, std::vector<std::string>{"options -c pdf"});
    EXPECT_EQ(converter.workerId(), worker);
}

TEST(IsolatedMailConverter, AHangingMessageFailsAloneAfterItsTimeout)
{
    TempFolder folder;
    WorkerLimits limits;
    limits.messageTimeout = std::chrono::milliseconds(700);
    IsolatedMailConverter converter(fakeWorker(), limits);
    ASSERT_TRUE(convert(converter, folder, "before", "before"));
    const long worker = converter.workerId();
    EXPECT_EQ(convert(converter, folder, "hang", "hang").error().message, "took longer than 0.7 s");
    expectFreshWorkerConverts(converter, folder, worker);
}

TEST(IsolatedMailConverter, MemoryOfTheWholeProcessTreeIsLimited)
{
    TempFolder folder;
    WorkerLimits limits;
    limits.memoryBytes = 96 * 1024 * 1024;
    IsolatedMailConverter converter(fakeWorker(), limits);
    for (const std::string what : {"allocate", "allocate in a child"}) {
        SCOPED_TRACE(what);
        ASSERT_TRUE(convert(converter, folder, "before", "before " + what));
        const long worker = converter.workerId();
        EXPECT_EQ(convert(converter, folder, what, what).error().message, "needed more than 96 MB");
        expectFreshWorkerConverts(converter, folder, worker);
    }
}

TEST(IsolatedMailConverter, ACrashFailsOnlyItsMessage)
{
    TempFolder folder;
    IsolatedMailConverter converter(fakeWorker(), WorkerLimits{});
    ASSERT_TRUE(convert(converter, folder, "before", "before"));
    const long worker = converter.workerId();
    EXPECT_EQ(convert(converter, folder, "crash", "crash").error().message,
              "the converter process was killed by signal 6");
    expectFreshWorkerConverts(converter, folder, worker);

    IsolatedMailConverter missing(WorkerCommand{folder.file("no-such-worker"), {}}, WorkerLimits{});
    EXPECT_NE(convert(missing, folder, "x", "x").error().message.find("cannot start"), std::string::npos);
}
