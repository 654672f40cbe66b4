// Maildirs and .eml folders: which files are messages, in what order, and where their PDFs go.
#include "conversion/MessageFolder.h"
#include "conversion/OutputTree.h"
#include "support/Sha256.h"
#include "tests/conversion/SplitHarness.h"
#include "tests/TestSupport/TempFolder.h"

#include <gtest/gtest.h>

using namespace tessaly;
using namespace tessaly::testing;

namespace {

std::vector<std::string> relativePaths(const std::string &folder)
{
    std::vector<std::string> paths;
    const Result<std::vector<MessageFolderFile>> files = messageFilesOf(folder);
    if (!files)
        return {"error: " + files.error().message};
    for (const MessageFolderFile &file : files.value())
        paths.push_back(file.relativePath);
    return paths;
}

} // namespace

TEST(MessageFolder, MaildirFilesGoByDeliveryTimeThenNameWithTheirFlagsSpelledOut)
{
    TempFolder temp;
    temp.write("Maildir/cur/1600000300.M3.host:2,ST", "x");
    temp.write("Maildir/new/1600000100.M9.host", "x");
    temp.write("Maildir/cur/1600000100.M1.host:2,", "x");
    temp.write("Maildir/cur/no-time", "x");
    temp.write("Maildir/cur/.hidden", "x");
    temp.write("Maildir/tmp/1600000000.M0.host", "x");     // still being delivered
    temp.write("Maildir/cur/999999999.M2.host:2,RF", "x"); // fewer digits, earlier

    const std::string maildir = temp.file("Maildir");
    ASSERT_TRUE(isMaildir(maildir));
    EXPECT_EQ(relativePaths(maildir),
              (std::vector<std::string>{"cur/999999999.M2.host:2,RF", "cur/1600000100.M1.host:2,",
                                        "new/1600000100.M9.host", "cur/1600000300.M3.host:2,ST", "cur/no-time"}));
    const Result<std::vector<MessageFolderFile>> files = messageFilesOf(maildir);
    ASSERT_TRUE(files.ok());
    EXPECT_EQ(files.value().front().notes, "Maildir flags: flagged, replied");
    EXPECT_EQ(maildirFlagNotes("1600000300.M3.host:2,ST"), "Maildir flags: seen, trashed");
    EXPECT_EQ(maildirFlagNotes("1600000100.M1.host:2,"), "");
    EXPECT_EQ(maildirFlagNotes("1600000100.M9.host"), "");
    EXPECT_EQ(sourceBytes(maildir + "/"), 5u);
}

TEST(MessageFolder, EmlFilesGoByNameWithNumbersComparedAsNumbers)
{
    TempFolder temp;
    for (const char *name : {"10.eml", "2.eml", "message 2b.EML", "message 10.eml", "notes.txt", ".hidden.eml"})
        temp.write(std::string("Export/") + name, "x");
    temp.write("Export/Sub/1.eml", "x"); // a source of its own
    EXPECT_EQ(relativePaths(temp.file("Export")),
              (std::vector<std::string>{"2.eml", "10.eml", "message 2b.EML", "message 10.eml"}));

    const std::vector<std::pair<std::string, std::string>> ordered = {{"a2", "a10"},  {"a02", "a10"}, {"a9z", "a10a"},
                                                                      {"abc", "abd"}, {"a", "a1"},    {"01", "1"}};
    for (const auto &[before, after] : ordered) {
        EXPECT_TRUE(namesInNaturalOrder(before, after)) << before << " before " << after;
        EXPECT_FALSE(namesInNaturalOrder(after, before)) << after << " after " << before;
    }
}

TEST(MessageFolder, AMessageFileIsOneMessageThoughBodyLinesStartWithFrom)
{
    const std::string file =
        "From: ann@example.org\nSubject: s\n\nFrom here on\r\nFrom bob Mon Jan  1 00:00:00 2021\nend";
    for (std::size_t pieceSize : {std::size_t{1}, std::size_t{3}, std::size_t{1} << 20}) {
        const std::vector<SplitPlace> places = splitPlaces(file, SplitMode::Whole, pieceSize);
        ASSERT_EQ(places.size(), 1u) << "pieces of " << pieceSize;
        EXPECT_EQ(places[0].offset, 0u);
        EXPECT_EQ(places[0].length, file.size());
        EXPECT_EQ(places[0].sha256, sha256Hex(file));
    }
}

TEST(MessageFolder, AMaildirPlusPlusFolderGoesBelowItsMaildirAsNestedFolders)
{
#ifndef _WIN32
    TempFolder temp;
    temp.folder("Maildir/cur");
    temp.folder("Maildir/new");
    temp.folder("Maildir/.Work.Projects/cur");
    temp.folder("Maildir/.Work.Projects/new");
    temp.folder("Export/.Hidden");
    const std::string out = temp.file("out");
    EXPECT_EQ(mailboxOutputFolder(out, temp.file("Maildir/")).value(), out + temp.file("Maildir"));
    EXPECT_EQ(mailboxOutputFolder(out, temp.file("Maildir/.Work.Projects/")).value(),
              out + temp.file("Maildir/Work/Projects"));
    // Outside a Maildir a dot folder keeps its name.
    EXPECT_EQ(mailboxOutputFolder(out, temp.file("Export/.Hidden/")).value(), out + temp.file("Export/.Hidden"));
#endif
}
