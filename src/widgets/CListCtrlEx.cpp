#include "widgets/CListCtrlEx.h"

#include <QHeaderView>

CListCtrlEx::CListCtrlEx(QWidget* parent) : QTableView(parent) {
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setShowGrid(true);
    horizontalHeader()->setVisible(true);
    verticalHeader()->setVisible(false);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(kRowHeight);
    verticalHeader()->setMinimumSectionSize(kRowHeight);
}

int CListCtrlEx::AddRow(const QString& key, int state) {
    rows_.append({key, state});
    return int(rows_.size()) - 1;
}

void CListCtrlEx::SetRowState(int row, int state) {
    if (row >= 0 && row < rows_.size())
        rows_[row].state = state;
}
