#pragma once
// The edit-with-button control of forms: a one-line box with a small button at its right. The
// button opens, by mode, a text editor for long texts, the colour chooser, or a pop-up form
// whose returned text lands in the box. A box with a pick list also offers suggestions under
// itself as the user types; the rows are found on a worker thread by the query it was given.
#include <QColor>
#include <QLineEdit>
#include <QPointer>

#include <functional>
#include <memory>
#include <optional>

class GridView;
class PopupFormHost;
class QThread;
class QToolButton;
class PickListPopup;

class EditWithButton : public QLineEdit {
    Q_OBJECT
public:
    enum class Mode { TextEditor, ColorChooser, PopupForm };

    // Asks the user for a colour; nothing when cancelled.
    using ColorChooser =
        std::function<std::optional<QColor>(const QColor& initial, QWidget* parent)>;
    // The pick list's rows as code and name pairs, found on a worker thread.
    using PickListRows = std::function<QStringList()>;
    // Called on the interface thread with the typed text; what it returns runs on a worker, so
    // it must not touch widgets.
    using PickListQuery = std::function<PickListRows(const QString& typed)>;

    explicit EditWithButton(QWidget* parent = nullptr);
    ~EditWithButton() override;

    void SetHost(PopupFormHost* host) { host_ = host; }
    void SetMode(Mode mode) { mode_ = mode; }
    Mode GetMode() const { return mode_; }
    // The `popup` value and the serialised pop-up document kept for the pop-up form.
    void SetPopup(const QString& value, const QString& document);
    QString PopupValue() const { return popupValue_; }
    QString PopupDocument() const { return popupDocument_; }
    void SetColumnOffset(int offset) { columnOffset_ = offset; }
    int ColumnOffset() const { return columnOffset_; }
    void SetButtonShaded(bool shaded);
    bool ButtonShaded() const { return buttonShaded_; }
    QToolButton* Button() const { return button_; }

    // Offers the rows of `query` for each text typed; column widths in pixels.
    void SetPickList(PickListQuery query, int firstColumn, int totalWidth);
    bool HasPickList() const { return bool(pickQuery_); }
    PickListPopup* PickList() const { return pickList_; }
    void HidePickList();

    // What pressing the button does.
    void OpenButton();

    // As a grid's cell editor: the cell it now edits. Its pick list binds "{{c<n>}}" from that
    // row, and what the user picks or a pop-up form returns goes into that cell.
    void SetEditedCell(GridView* grid, int row, int column);
    GridView* EditedGrid() const;
    // The edited row, found again when the grid's rows moved; -1 when there is none.
    int EditedRow() const;
    int EditedColumn() const;

    // Replaces the colour chooser of every box (tests); an empty function restores the dialog.
    static void SetColorChooser(ColorChooser chooser);

Q_SIGNALS:
    // A pop-up form put its returned text into the box: the box's focus-lost action runs.
    void popupAccepted();
    // The pick list took new rows (shown) or none (hidden).
    void pickListUpdated(int rows);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    struct PickShared;

    void PlaceButton();
    void RequestPickList();
    void ApplyPickRows(quint64 serial, const QStringList& cells);
    void TakePick(const QString& text);

    PopupFormHost* host_ = nullptr;
    Mode mode_ = Mode::TextEditor;
    QString popupValue_;
    QString popupDocument_;
    int columnOffset_ = 0;
    bool buttonShaded_ = true;
    QToolButton* button_;

    // Stores a text the user chose for the edited cell and marks its row edited.
    void StoreInEditedCell(const QString& text);

    QPointer<GridView> grid_;
    int column_ = -1;
    quint64 rowSerial_ = 0;

    PickListQuery pickQuery_;
    PickListPopup* pickList_ = nullptr;
    bool takingPick_ = false;
    std::shared_ptr<PickShared> shared_;
    QList<QPointer<QThread>> workers_;
};
