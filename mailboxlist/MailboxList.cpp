#include "mailboxlist/MailboxList.h"

#include <algorithm>

namespace tessaly {

MailboxList::MailboxList() : m_rows(1), m_marks(1, RunMark::None), m_countText("0 files") {}

void MailboxList::AddFileToList(const std::string &entry)
{
    if (isEmpty()) {
        m_rows.front() = entry;
    } else {
        m_rows.push_back(entry);
        m_marks.push_back(RunMark::None);
    }
    const int row = rowCount() - 1;
    m_countText = std::to_string(rowCount()) + " files";
    if (m_view)
        m_view->mailboxRowAdded(row, entry);
    setCurrentRow(row);
    if (m_view)
        m_view->mailboxCountChanged(m_countText);
}

void MailboxList::ClearFileList()
{
    m_rows.assign(1, std::string());
    m_marks.assign(1, RunMark::None);
    m_countText = "0 files";
    if (m_view)
        m_view->mailboxRowsCleared();
    setCurrentRow(0);
    if (m_view)
        m_view->mailboxCountChanged(m_countText);
}

void MailboxList::removeRows(std::vector<int> rows)
{
    std::vector<std::string> keptRows;
    std::vector<RunMark> keptMarks;
    std::sort(rows.begin(), rows.end());
    for (int row = 0; row < rowCount(); ++row) {
        if (std::binary_search(rows.begin(), rows.end(), row) || m_rows[static_cast<std::size_t>(row)].empty())
            continue;
        keptRows.push_back(m_rows[static_cast<std::size_t>(row)]);
        keptMarks.push_back(m_marks[static_cast<std::size_t>(row)]);
    }
    if (keptRows.size() == static_cast<std::size_t>(rowCount()))
        return;
    // The row that takes the first removed one's place becomes current, so a second Delete
    // removes a row the user sees selected, not the last one.
    const int firstRemoved = rows.empty() ? 0 : std::max(rows.front(), 0);
    ClearFileList();
    for (std::size_t i = 0; i < keptRows.size(); ++i) {
        AddFileToList(keptRows[i]);
        setMark(static_cast<int>(i), keptMarks[i]);
    }
    setCurrentRow(firstRemoved);
}

std::string MailboxList::rowText(int row) const
{
    if (row < 0 || row >= rowCount())
        return {};
    return m_rows[static_cast<std::size_t>(row)];
}

void MailboxList::setMark(int row, RunMark mark)
{
    if (row < 0 || row >= rowCount() || m_marks[static_cast<std::size_t>(row)] == mark)
        return;
    m_marks[static_cast<std::size_t>(row)] = mark;
    if (m_view)
        m_view->mailboxRowMarkChanged(row, mark);
}

void MailboxList::markConvertedByLastRun(int row)
{
    setMark(row, RunMark::Converted);
}

void MailboxList::markFailedInLastRun(int row)
{
    setMark(row, RunMark::Failed);
}

void MailboxList::clearRunMarks()
{
    for (int row = 0; row < rowCount(); ++row)
        setMark(row, RunMark::None);
}

bool MailboxList::isConvertedByLastRun(int row) const
{
    return runMark(row) == RunMark::Converted;
}

RunMark MailboxList::runMark(int row) const
{
    return row >= 0 && row < rowCount() ? m_marks[static_cast<std::size_t>(row)] : RunMark::None;
}

void MailboxList::setCurrentRow(int row)
{
    m_currentRow = std::clamp(row, 0, rowCount() - 1);
    if (m_view)
        m_view->mailboxCurrentRowChanged(m_currentRow);
}

} // namespace tessaly
