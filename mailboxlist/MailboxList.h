// The mailbox list: the mailbox paths the next run works through, one per row.
#pragma once

#include <string>
#include <vector>

namespace tessaly {

/// What the last run made of a row.
enum class RunMark
{
    None,
    Converted,
    Failed,
};

/// What shows the list on screen. Told about every change, one row at a time, so a scan
/// that adds tens of thousands of rows never redraws the whole list per row.
class MailboxListView
{
public:
    virtual ~MailboxListView() = default;
    /// `row` now holds `text`. Row 0 of an empty list is filled in place; any other row is new.
    virtual void mailboxRowAdded(int row, const std::string &text) = 0;
    /// The list is back to one empty row.
    virtual void mailboxRowsCleared() = 0;
    /// The count label's new text, "N files".
    virtual void mailboxCountChanged(const std::string &text) = 0;
    virtual void mailboxCurrentRowChanged(int row) = 0;
    /// `row` now bears `mark` of the last run.
    virtual void mailboxRowMarkChanged(int row, RunMark mark) = 0;
};

/// Rows in the order they were added, duplicates allowed, nothing checked. An empty list
/// is one row with empty text, so the row count is never 0.
class MailboxList
{
public:
    MailboxList();

    /// `view` may be null; it must outlive the list or be unset first.
    void setView(MailboxListView *view) { m_view = view; }

    /// Appends `entry` as the last row (into row 0 when the list is empty), makes it the
    /// current row and sets the count to the row count.
    void AddFileToList(const std::string &entry);
    /// Back to one empty row; the count reads "0 files".
    void ClearFileList();
    /// Removes the given rows (any order, duplicates and rows outside the list ignored); the
    /// view is told as if the list were cleared and the rest added again. The row now at the
    /// first removed row's index (else the last) becomes current.
    void removeRows(std::vector<int> rows);

    bool isEmpty() const { return m_rows.size() == 1 && m_rows.front().empty(); }
    /// The grid's row count: 1 for an empty list.
    int rowCount() const { return static_cast<int>(m_rows.size()); }
    /// Every row's text, from row 0; one empty row for an empty list.
    const std::vector<std::string> &rows() const { return m_rows; }
    /// The text of `row`; "" for a row outside the list.
    std::string rowText(int row) const;

    int currentRow() const { return m_currentRow; }
    /// Makes `row` current (clamped to the rows there are).
    void setCurrentRow(int row);

    /// "N files", with no singular form.
    std::string countText() const { return m_countText; }

    /// Marks `row` as converted by the run that is under way or just ended, so the user sees
    /// which rows a second run would convert again.
    void markConvertedByLastRun(int row);
    /// Marks `row` as failed in the last run: not mail, unreadable, or stopped by a full disk.
    void markFailedInLastRun(int row);
    /// Drops every mark (a new run starts).
    void clearRunMarks();
    bool isConvertedByLastRun(int row) const;
    RunMark runMark(int row) const;

private:
    void setMark(int row, RunMark mark);

    std::vector<std::string> m_rows;
    /// Parallel to m_rows.
    std::vector<RunMark> m_marks;
    int m_currentRow = 0;
    std::string m_countText;
    MailboxListView *m_view = nullptr;
};

} // namespace tessaly
