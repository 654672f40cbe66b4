// The list's rows and count label, as a view sees them.
#include "mailboxlist/MailboxList.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace tessaly {
namespace {

/// Keeps the rows as a grid on screen would.
class GridView : public MailboxListView
{
public:
    std::vector<std::string> rows{""};
    std::string count = "0 files";
    int current = 0;

    void mailboxRowAdded(int row, const std::string &text) override
    {
        if (row >= static_cast<int>(rows.size()))
            rows.resize(static_cast<std::size_t>(row) + 1);
        rows[static_cast<std::size_t>(row)] = text;
    }
    void mailboxRowsCleared() override { rows.assign(1, std::string()); }
    void mailboxCountChanged(const std::string &text) override { count = text; }
    void mailboxCurrentRowChanged(int row) override { current = row; }
    void mailboxRowMarkChanged(int row, RunMark mark) override
    {
        marks.resize(std::max(marks.size(), static_cast<std::size_t>(row) + 1));
        marks[static_cast<std::size_t>(row)] = mark == RunMark::Converted;
    }
    std::vector<bool> marks;
};

TEST(MailboxList, EmptyListIsOneEmptyRow)
{
    MailboxList list;
    EXPECT_TRUE(list.isEmpty());
    EXPECT_EQ(list.rowCount(), 1);
    EXPECT_EQ(list.rowText(0), "");
    EXPECT_EQ(list.countText(), "0 files");
}

TEST(MailboxList, RowsKeepOrderAndDuplicatesAndTheCountHasNoSingular)
{
    MailboxList list;
    GridView view;
    list.setView(&view);

    list.AddFileToList("/mail/a.mbox");
    EXPECT_EQ(list.rowCount(), 1);
    EXPECT_EQ(view.count, "1 files");
    list.AddFileToList("/mail/b.mbox");
    list.AddFileToList("/mail/a.mbox");

    const std::vector<std::string> expected{"/mail/a.mbox", "/mail/b.mbox", "/mail/a.mbox"};
    EXPECT_EQ(view.rows, expected);
    EXPECT_EQ(list.rowCount(), 3);
    EXPECT_EQ(list.rowText(2), "/mail/a.mbox");
    EXPECT_EQ(view.count, "3 files");
    EXPECT_EQ(view.current, 2);
}

TEST(MailboxList, AfterClearingTheNextFileLandsInRowZero)
{
    MailboxList list;
    GridView view;
    list.setView(&view);
    list.AddFileToList("/mail/a.mbox");
    list.AddFileToList("/mail/b.mbox");

    list.ClearFileList();
    EXPECT_TRUE(list.isEmpty());
    EXPECT_EQ(view.rows, std::vector<std::string>{""});
    EXPECT_EQ(view.count, "0 files");
    EXPECT_EQ(view.current, 0);

    list.AddFileToList("/mail/c.mbox");
    EXPECT_EQ(view.rows, std::vector<std::string>{"/mail/c.mbox"});
    EXPECT_EQ(view.count, "1 files");
}

TEST(MailboxList, RegressionRowsTheLastRunConvertedStayMarkedUntilTheNextRun)
{
    // A mailbox added after a run must not look like the old rows: the user sees which rows a
    // second run would convert again.
    MailboxList list;
    GridView view;
    list.setView(&view);
    list.AddFileToList("/mail/a.mbox");
    list.AddFileToList("/mail/b.mbox");
    list.markConvertedByLastRun(0);
    list.markConvertedByLastRun(1);
    list.AddFileToList("/mail/c.mbox");

    EXPECT_TRUE(list.isConvertedByLastRun(1));
    EXPECT_FALSE(list.isConvertedByLastRun(2));
    EXPECT_EQ(view.marks, (std::vector<bool>{true, true}));

    list.clearRunMarks();
    EXPECT_FALSE(list.isConvertedByLastRun(0));
    EXPECT_EQ(view.marks, (std::vector<bool>{false, false}));

    list.markConvertedByLastRun(0);
    list.ClearFileList();
    list.AddFileToList("/mail/d.mbox");
    EXPECT_FALSE(list.isConvertedByLastRun(0));
}

TEST(MailboxList, AnEmptyEntryAddedToAnEmptyListLeavesItEmpty)
{
    // An empty first entry is indistinguishable from the empty list, so the next entry
    // takes row 0 again.
    MailboxList list;
    list.AddFileToList("");
    EXPECT_TRUE(list.isEmpty());
    list.AddFileToList("/mail/a.mbox");
    EXPECT_EQ(list.rowCount(), 1);
    EXPECT_EQ(list.rowText(0), "/mail/a.mbox");
}

} // namespace
} // namespace tessaly
