#pragma once
// The pick list of an edit-with-button control: a frameless pop-up under the box with a
// two-column list of suggestions. Choosing a row hands its first column back to the box. The
// list never takes the keyboard: the box keeps it and hands the list its keys, so a choice
// leaves the focus where the user typed.
#include <QStringList>
#include <QWidget>

class QSizeGrip;
class QTreeWidget;

class PickListPopup : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWindowId = 1099;

    explicit PickListPopup(QWidget* owner);

    // Column widths: the first column and the whole list.
    void SetWidths(int firstColumn, int total);
    int TotalWidth() const { return totalWidth_; }
    // `cells` holds two texts per row.
    void SetRows(const QStringList& cells);
    int RowCount() const;
    QString RowText(int row, int column) const;
    QTreeWidget* List() const { return list_; }
    // From its first row on, the list takes the box's Up and Down; new rows or hiding give them
    // back to the box.
    void TakeArrows();
    bool HasArrows() const { return hasArrows_ && isVisible(); }
    // Takes row `row` as a double click on it would.
    void ChooseRow(int row) { Choose(row); }

    // Height for `rows` rows: one row 26 pixels, more 21 each plus 5, at most 280.
    static int HeightForRows(int rows);

    // Moves the current row by a key typed in the owner's box (Up, Down, Enter, Escape);
    // true when the key was for the list.
    bool HandleKey(int key);

Q_SIGNALS:
    void chosen(const QString& text);
    void dismissed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void Choose(int row);

    QTreeWidget* list_;
    QSizeGrip* grip_;
    int firstWidth_ = 280;
    int totalWidth_ = 800;
    bool hasArrows_ = false;
};
