// The mailbox list on the window: one cell per row in the grid, and the count above it.
#pragma once

#include "mailboxlist/MailboxList.h"

#include <string>
#include <vector>

class QLabel;
class QPalette;
class QTableWidget;

namespace tessaly {

/// Shows a MailboxList on the window's grid (grdFiles1) and count label (lblCount1): light
/// yellow cells, pale green for a row the last run converted and pale red for one it could not,
/// and the current row selected and scrolled to.
class MailboxGrid : public MailboxListView
{
public:
    /// Gives `grid` the design's look: one wide column without headers, rows of a fixed height,
    /// and scroll bars in `scrollBarPalette`, since the grid's style sheet takes the
    /// application's colours, not the window's.
    MailboxGrid(QTableWidget &grid, QLabel &count, const QPalette &scrollBarPalette);

    /// The rows selected, in no particular order.
    std::vector<int> selectedRows() const;

    void mailboxRowAdded(int row, const std::string &text) override;
    void mailboxRowsCleared() override;
    void mailboxCountChanged(const std::string &text) override;
    void mailboxCurrentRowChanged(int row) override;
    void mailboxRowMarkChanged(int row, RunMark mark) override;

private:
    QTableWidget &m_grid;
    QLabel &m_count;
    bool m_scrollPending = false;
};

} // namespace tessaly
