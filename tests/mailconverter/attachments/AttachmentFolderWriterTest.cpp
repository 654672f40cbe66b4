// Saving attachments beside the PDF: folder name, links, exclusive creation, unique names.
#include "mailconverter/attachments/AttachmentFolderWriter.h"

#include "mailconverter/readers/AttachmentNames.h"
#include "tests/mailconverter/attachments/AttachmentTestFiles.h"

#include <gtest/gtest.h>

using namespace tessaly;
using namespace tessaly::testing;

TEST(AttachmentFolderWriter, FolderIsNamedAfterThePdf)
{
    EXPECT_EQ(attachmentFolderFor("/out/Hello 05-03-2021.pdf"), "/out/Hello 05-03-2021 attachments");
    EXPECT_EQ(attachmentFolderFor("/out/Hello (2).PDF"), "/out/Hello (2) attachments");
    EXPECT_EQ(attachmentFolderFor("/out.d/notes"), "/out.d/notes attachments");
    EXPECT_EQ(relativeFileUrl("Hello attachments/übersicht €.txt"),
              "Hello%20attachments/%C3%BCbersicht%20%E2%82%AC.txt");
    EXPECT_EQ(relativeFileUrl("a attachments/50% #1?.txt"), "a%20attachments/50%25%20%231%3F.txt");
    EXPECT_EQ(planAttachmentFolder("/nonexistent/Hello.pdf", {"日本.txt"}, {}).hrefs,
              std::vector<std::string>{"Hello%20attachments/%E6%97%A5%E6%9C%AC.txt"});
}

TEST(AttachmentFolderWriter, NeverOverwritesAndNumbersNamesTakenOnDiskIgnoringCase)
{
    TempFolder scratch;
    const std::string folder = scratch.file("m attachments");
    std::filesystem::create_directory(folder);
    writeWholeFile(folder + "/Report.PDF", "older report");

    const AttachmentFolderPlan plan =
        planAttachmentFolder(scratch.file("m.pdf"), {"report.pdf", "x.txt"}, TempFolder::fileNames(folder));
    EXPECT_EQ(plan.fileNames, (std::vector<std::string>{"report (2).pdf", "x.txt"}));

    // Something creates x.txt (as a dangling symbolic link) after planning: it is not followed.
    std::filesystem::create_symlink(scratch.file("outside.txt"), folder + "/x.txt");
    std::vector<std::string> warnings;
    Result<WrittenAttachments> written =
        writeAttachmentFolder(FolderHandle::open(scratch.path()).value(), "m attachments",
                              {{plan.fileNames[0], "new"}, {plan.fileNames[1], "x"}}, warnings);
    ASSERT_TRUE(written) << written.error().message;
    EXPECT_EQ(readWholeFile(folder + "/Report.PDF"), "older report");
    EXPECT_EQ(readWholeFile(folder + "/report (2).pdf"), "new");
    EXPECT_EQ(readWholeFile(folder + "/x (2).txt"), "x");
    EXPECT_FALSE(std::filesystem::exists(scratch.file("outside.txt")));
    EXPECT_EQ(warnings.size(), 1u);
}

TEST(AttachmentFolderWriter, RegressionAFolderThatIsASymbolicLinkIsRefusedNotFollowed)
{
    TempFolder scratch;
    std::filesystem::create_directory(scratch.file("elsewhere"));
    std::filesystem::create_directory_symlink(scratch.file("elsewhere"), scratch.file("m attachments"));
    std::vector<std::string> warnings;
    Result<WrittenAttachments> written =
        writeAttachmentFolder(FolderHandle::open(scratch.path()).value(), "m attachments", {{"a.txt", "a"}}, warnings);
    ASSERT_FALSE(written);
    EXPECT_NE(written.error().message.find("symbolic link"), std::string::npos);
    EXPECT_TRUE(std::filesystem::is_empty(scratch.file("elsewhere")));
}
