#include "mailboxlist/MailboxList.h"

#include <algorithm>

namespace tessaly {

MailboxList::MailboxList() : m_rows(1), m_convertedByLastRun(1, false), m_countText("0 files") {}

void MailboxList::AddFileToList(const std::string &entry)
{
    if (isEmpty()) {
        m_rows.front() = entry;
    } else {
        m_rows.push_back(entry);
        m_convertedByLastRun.push_back(false);
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
    m_convertedByLastRun.assign(1, false);
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
    std::vector<bool> keptMarks;
    std::sort(rows.begin(), rows.end());
    for (int row = 0; row < rowCount(); ++row) {
        if (std::binary_search(rows.begin(), rows.end(), row) || m_rows[static_cast<std::size_t>(row)].empty())
            continue;
        keptRows.push_back(m_rows[static_cast<std::size_t>(row)]);
        keptMarks.push_back(m_convertedByLastRun[static_cast<std::size_t>(row)]);
    }
    if (keptRows.size() == static_cast<std::size_t>(rowCount()))
        return;
    ClearFileList();
    for (std::size_t i = 0; i < keptRows.size(); ++i) {
        AddFileToList(keptRows[i]);
        if (keptMarks[i])
            markConvertedByLastRun(static_cast<int>(i));
    }
}

std::string MailboxList::rowText(int row) const
{
    if (row < 0 || row >= rowCount())
        return {};
    return m_rows[static_cast<std::size_t>(row)];
}

void MailboxList::markConvertedByLastRun(int row)
{
    if (row < 0 || row >= rowCount() || m_convertedByLastRun[static_cast<std::size_t>(row)])
        return;
    m_convertedByLastRun[static_cast<std::size_t>(row)] = true;
    if (m_view)
        m_view->mailboxRowMarkChanged(row, true);
}

void MailboxList::clearRunMarks()
{
    for (int row = 0; row < rowCount(); ++row) {
        if (!m_convertedByLastRun[static_cast<std::size_t>(row)])
            continue;
        m_convertedByLastRun[static_cast<std::size_t>(row)] = false;
        if (m_view)
            m_view->mailboxRowMarkChanged(row, false);
    }
}

bool MailboxList::isConvertedByLastRun(int row) const
{
    return row >= 0 && row < rowCount() && m_convertedByLastRun[static_cast<std::size_t>(row)];
}

void MailboxList::setCurrentRow(int row)
{
    m_currentRow = std::clamp(row, 0, rowCount() - 1);
    if (m_view)
        m_view->mailboxCurrentRowChanged(m_currentRow);
}

} // namespace tessaly
