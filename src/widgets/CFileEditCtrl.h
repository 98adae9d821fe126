#pragma once
// The edit-with-button control of forms: a one-line box with a small button at its right. The
// button opens, by mode, a text editor for long texts, the colour chooser, or a pop-up form
// whose returned text lands in the box. A box with a pick-list query also offers suggestions
// under itself as the user types; the query runs on a worker thread with its own session.
#include <QColor>
#include <QLineEdit>
#include <QList>
#include <QPointer>

#include <functional>
#include <memory>
#include <optional>

class ControlHost;
class QThread;
class QToolButton;
class ZvDialogChild;

class CFileEditCtrl : public QLineEdit {
    Q_OBJECT
public:
    enum class Mode { TextEditor, ColorChooser, PopupForm };

    // Asks the user for a colour; nothing when cancelled.
    using ColorChooser =
        std::function<std::optional<QColor>(const QColor& initial, QWidget* parent)>;
    // The text of another control of the form, by window id.
    using ControlTextReader = std::function<QString(int windowId)>;

    explicit CFileEditCtrl(QWidget* parent = nullptr);
    ~CFileEditCtrl() override;

    void SetHost(ControlHost* host) { host_ = host; }
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

    // The pick list: a query with "{{1}}" for the typed text, "{{userid}}" and "{{p<n>}}" for
    // the text of the n-th parameter control (ids above 49); column widths in pixels.
    void SetPickList(const QString& query, const QList<int>& parameterIds, int firstColumn,
                     int totalWidth);
    QString PickListQuery() const { return pickQuery_; }
    ZvDialogChild* PickList() const { return pickList_; }
    void HidePickList();
    void SetControlTextReader(ControlTextReader reader) { controlText_ = std::move(reader); }
    // The query text as it would run for the current text (its quotes doubled).
    QString PickListSql() const;

    // What pressing the button does.
    void OpenButton();

    // Replaces the colour chooser of every box (tests); an empty function restores the dialog.
    static void SetColorChooser(ColorChooser chooser);

Q_SIGNALS:
    // A pop-up form put its returned text into the box: the box's focus-lost action runs.
    void popupAccepted();
    // The pick list took new rows (shown) or none (hidden).
    void pickListUpdated(int rows);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    struct PickShared;

    void PlaceButton();
    void RequestPickList();
    void ApplyPickRows(quint64 serial, const QStringList& cells);
    void TakePick(const QString& text);

    ControlHost* host_ = nullptr;
    Mode mode_ = Mode::TextEditor;
    QString popupValue_;
    QString popupDocument_;
    int columnOffset_ = 0;
    bool buttonShaded_ = true;
    QToolButton* button_;

    QString pickQuery_;
    QList<int> pickParameters_;
    ZvDialogChild* pickList_ = nullptr;
    ControlTextReader controlText_;
    bool takingPick_ = false;
    std::shared_ptr<PickShared> shared_;
    QList<QPointer<QThread>> workers_;
};
