#include "app/MailboxGrid.h"

#include <QHeaderView>
#include <QLabel>
#include <QScrollBar>
#include <QTableWidget>
#include <QTimer>

namespace tessaly {
namespace {

/// Wide enough for long paths; the grid scrolls sideways to show them.
constexpr int kGridColumnWidth = 1000;
constexpr int kGridRowHeight = 17;

const QColor kCellColour(255, 255, 191);
/// Rows the last run converted: a pale green instead of the light yellow.
const QColor kConvertedCellColour(204, 236, 204);
/// Rows the last run could not convert: a pale red.
const QColor kFailedCellColour(255, 204, 204);

QTableWidgetItem *cellItem(const QString &text)
{
    auto *item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    item->setBackground(kCellColour);
    item->setForeground(QColor(Qt::black));
    return item;
}

void markCell(QTableWidgetItem *item, RunMark mark)
{
    switch (mark) {
    case RunMark::None:
        item->setBackground(kCellColour);
        item->setToolTip(QString());
        break;
    case RunMark::Converted:
        item->setBackground(kConvertedCellColour);
        item->setToolTip(QStringLiteral("Converted by the last run"));
        break;
    case RunMark::Failed:
        item->setBackground(kFailedCellColour);
        item->setToolTip(QStringLiteral("Failed in the last run; the report says why"));
        break;
    }
}

} // namespace

MailboxGrid::MailboxGrid(QTableWidget &grid, QLabel &count, const QPalette &scrollBarPalette)
    : m_grid(grid), m_count(count)
{
    m_grid.horizontalHeader()->hide();
    m_grid.verticalHeader()->hide();
    m_grid.verticalHeader()->setMinimumSectionSize(kGridRowHeight);
    m_grid.verticalHeader()->setDefaultSectionSize(kGridRowHeight);
    m_grid.horizontalHeader()->setStretchLastSection(false);
    m_grid.setColumnWidth(0, kGridColumnWidth);
    m_grid.setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_grid.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_grid.setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid.setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_grid.setWordWrap(false);
    m_grid.setAutoScroll(false); // see mailboxCurrentRowChanged
    m_grid.setTextElideMode(Qt::ElideNone);
    m_grid.setStyleSheet(QStringLiteral("QTableWidget { background-color: white; color: black; "
                                        "gridline-color: rgb(192, 192, 192); "
                                        "selection-background-color: rgb(0, 0, 192); "
                                        "selection-color: white; }"));
    m_grid.horizontalScrollBar()->setPalette(scrollBarPalette);
    m_grid.verticalScrollBar()->setPalette(scrollBarPalette);
    m_grid.setItem(0, 0, cellItem(QString()));
}

std::vector<int> MailboxGrid::selectedRows() const
{
    std::vector<int> rows;
    for (const QModelIndex &index : m_grid.selectionModel()->selectedIndexes())
        rows.push_back(index.row());
    return rows;
}

void MailboxGrid::mailboxRowAdded(int row, const std::string &text)
{
    if (row >= m_grid.rowCount())
        m_grid.setRowCount(row + 1);
    m_grid.setItem(row, 0, cellItem(QString::fromStdString(text)));
}

void MailboxGrid::mailboxRowMarkChanged(int row, RunMark mark)
{
    if (QTableWidgetItem *item = m_grid.item(row, 0))
        markCell(item, mark);
}

void MailboxGrid::mailboxRowsCleared()
{
    m_grid.setRowCount(1);
    m_grid.setItem(0, 0, cellItem(QString()));
}

void MailboxGrid::mailboxCountChanged(const std::string &text)
{
    m_count.setText(QString::fromStdString(text));
}

void MailboxGrid::mailboxCurrentRowChanged(int row)
{
    m_grid.selectionModel()->setCurrentIndex(m_grid.model()->index(row, 0), QItemSelectionModel::ClearAndSelect);
    // Scrolling to the row is the costly part; a scan adding thousands of rows scrolls once
    // per pass of the event loop instead of once per row.
    if (!m_scrollPending) {
        m_scrollPending = true;
        QTimer::singleShot(0, &m_grid, [this] {
            m_scrollPending = false;
            m_grid.scrollTo(m_grid.currentIndex());
        });
    }
}

} // namespace tessaly
