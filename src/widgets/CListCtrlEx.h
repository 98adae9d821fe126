#pragma once
// The grid control of forms. The window is created with its fixed look (header, whole-row
// selection, grid lines, 20-pixel rows); its model, columns and editing come with the grid work.
#include <QTableView>

class CListCtrlEx : public QTableView {
    Q_OBJECT
public:
    explicit CListCtrlEx(QWidget* parent = nullptr);

    static constexpr int kRowHeight = 20;

    // Column settings are saved per menu function and table.
    void SetMenuUid(int menuUid) { menuUid_ = menuUid; }
    int MenuUid() const { return menuUid_; }
    void SetDocumentId(int id) { documentId_ = id; }
    int DocumentId() const { return documentId_; }

    // Row records: the database key of each row ("0" when not saved yet) and its save state
    // (0 saved, 1 new, 2 changed in bulk, 3 edited). The action runner restores states on
    // rollback; the saving commands read them.
    int RowCount() const { return int(rows_.size()); }
    int AddRow(const QString& key, int state);
    QString RowKey(int row) const {
        return row >= 0 && row < rows_.size() ? rows_[row].key : QString();
    }
    int RowState(int row) const { return row >= 0 && row < rows_.size() ? rows_[row].state : 0; }
    void SetRowState(int row, int state);
    void DeleteAllItems() { rows_.clear(); }

private:
    struct RowRecord {
        QString key;
        int state = 0;
    };
    QList<RowRecord> rows_;
    int menuUid_ = 0;
    int documentId_ = 0;
};
