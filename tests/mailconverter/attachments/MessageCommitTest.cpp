// Planning where a message goes before it is rendered, and committing it as one unit.
#include "mailconverter/attachments/MessageCommit.h"

#include "tests/mailconverter/attachments/AttachmentTestFiles.h"

#include <gtest/gtest.h>

using namespace tessaly;
using namespace tessaly::testing;

namespace {

RenderedMessage rendered(std::vector<FileToSave> attachments)
{
    RenderedMessage rendered;
    rendered.pdf = "%PDF-1.4 body";
    rendered.attachments = std::move(attachments);
    return rendered;
}

FileInFolder at(const std::string &path)
{
    return fileAt(path).value();
}

} // namespace

TEST(MessageCommit, PlanSkipsNamesOnDiskAndNamesReservedForMessagesInFlight)
{
    TempFolder scratch;
    EXPECT_EQ(planCommit(at(scratch.file("Hello.pdf"))).pdfPath, scratch.file("Hello.pdf"));
    scratch.write("Hello.pdf", "x");
    scratch.write("Hello (3) attachments/a.txt", "older");

    const CommitPlan plan = planCommit(at(scratch.file("Hello.pdf")), {scratch.file("Hello (2).pdf")});
    EXPECT_EQ(plan.pdfPath, scratch.file("Hello (3).pdf"));
    EXPECT_EQ(plan.namesInAttachmentFolder, std::vector<std::string>{"a.txt"});
}

TEST(MessageCommit, AttachmentsThenThePdfAndNothingLeftWhenTheyCannotBeSaved)
{
    TempFolder scratch;
    Result<ConvertedMessage> committed = commitRenderedMessage(at(scratch.file("m.pdf")), rendered({{"a.txt", "a"}}));
    ASSERT_TRUE(committed) << committed.error().message;
    EXPECT_EQ(committed.value().writtenPath, scratch.file("m.pdf"));
    EXPECT_EQ(readWholeFile(scratch.file("m.pdf")), "%PDF-1.4 body");
    EXPECT_EQ(readWholeFile(scratch.file("m attachments/a.txt")), "a");
    EXPECT_EQ(committed.value().attachmentsSaved, 1);

    // Taken since it was planned: the next free name, and a warning that links miss.
    Result<ConvertedMessage> again = commitRenderedMessage(at(scratch.file("m.pdf")), rendered({}));
    ASSERT_TRUE(again);
    EXPECT_EQ(again.value().writtenPath, scratch.file("m (2).pdf"));
    EXPECT_EQ(again.value().warnings.size(), 1u);

    // A file where the attachments folder goes fails the message, with no PDF left behind.
    scratch.write("n attachments", "in the way");
    Result<ConvertedMessage> failed = commitRenderedMessage(at(scratch.file("n.pdf")), rendered({{"a.txt", "a"}}));
    ASSERT_FALSE(failed);
    EXPECT_NE(failed.error().message.find("n attachments"), std::string::npos);
    EXPECT_EQ(TempFolder::fileNames(scratch.path()),
              (std::vector<std::string>{"m (2).pdf", "m attachments", "m.pdf", "n attachments"}));
}
