#include "widgets/EditWithButton.h"

#include "platform/ValueGrammars.h"
#include "widgets/GridView.h"
#include "widgets/PickListPopup.h"
#include "widgets/PopupFormHost.h"
#include "widgets/TextEditorDialog.h"
#include "widgets/TypingLimit.h"

#include <QColorDialog>
#include <QKeyEvent>
#include <QStyle>
#include <QThread>
#include <QToolButton>

#include <atomic>
#include <mutex>

// Shared with the workers, which may outlive a request or even the box.
struct EditWithButton::PickShared {
    std::mutex queryLock; // one query at a time per box
    std::mutex postLock;  // guards `alive` against the box's destruction
    bool alive = true;
    std::atomic<quint64> latest{0};
};

namespace {

EditWithButton::ColorChooser& ColorChooserSlot() {
    static EditWithButton::ColorChooser chooser;
    return chooser;
}

std::optional<QColor> AskColor(const QColor& initial, QWidget* parent) {
    if (const auto& chooser = ColorChooserSlot())
        return chooser(initial, parent);
    const QColor chosen = QColorDialog::getColor(initial.isValid() ? initial : QColor(Qt::white),
                                                 parent, QStringLiteral("颜色"));
    if (!chosen.isValid())
        return std::nullopt;
    return chosen;
}

} // namespace

EditWithButton::EditWithButton(QWidget* parent)
    : QLineEdit(parent), button_(new QToolButton(this)), shared_(std::make_shared<PickShared>()) {
    LiftLengthCap(this);
    button_->setObjectName(QStringLiteral("editButton"));
    button_->setText(QStringLiteral("…"));
    button_->setCursor(Qt::ArrowCursor);
    button_->setFocusPolicy(Qt::NoFocus);
    button_->setAutoRaise(false);
    connect(button_, &QToolButton::clicked, this, &EditWithButton::OpenButton);
    connect(this, &QLineEdit::textChanged, this, [this] {
        if (pickQuery_ && !takingPick_)
            RequestPickList();
    });
    PlaceButton();
}

EditWithButton::~EditWithButton() {
    {
        std::lock_guard lock(shared_->postLock);
        shared_->alive = false;
    }
    // A running query ends on its own; its session must close before the process may end.
    for (const QPointer<QThread>& worker : workers_)
        if (worker)
            worker->wait();
}

void EditWithButton::SetPopup(const QString& value, const QString& document) {
    popupValue_ = value;
    popupDocument_ = document;
}

void EditWithButton::SetButtonShaded(bool shaded) {
    buttonShaded_ = shaded;
    button_->setAutoRaise(!shaded);
}

void EditWithButton::PlaceButton() {
    const int side = qMax(height() - 4, 8);
    const int width = qMin(side, 22);
    button_->setGeometry(this->width() - width - 2, 2, width, height() - 4);
    setTextMargins(0, 0, width + 2, 0);
}

void EditWithButton::resizeEvent(QResizeEvent* event) {
    QLineEdit::resizeEvent(event);
    PlaceButton();
}

void EditWithButton::hideEvent(QHideEvent* event) {
    // The suggestions are a window of their own: they go with the box (a cell editor put away).
    HidePickList();
    QLineEdit::hideEvent(event);
}

void EditWithButton::keyPressEvent(QKeyEvent* event) {
    // While suggestions show, the arrows, Enter and Escape move through them from the box.
    if (pickList_ && pickList_->isVisible() && pickList_->HandleKey(event->key()))
        return;
    QLineEdit::keyPressEvent(event);
}

void EditWithButton::OpenButton() {
    switch (mode_) {
    case Mode::TextEditor:
        if (const auto edited = TextEditorDialog::Edit(text(), this)) {
            setText(*edited);
            StoreInEditedCell(*edited);
        }
        break;
    case Mode::ColorChooser: {
        QColor initial;
        if (!text().isEmpty()) {
            QString error;
            const int packed = ReadRgbText(text(), error);
            ReportGrammarError(error);
            initial = QColor(packed & 0xFF, (packed >> 8) & 0xFF, (packed >> 16) & 0xFF);
        }
        if (const auto chosen = AskColor(initial, this)) {
            setText(QStringLiteral("%1,%2,%3")
                        .arg(chosen->red())
                        .arg(chosen->green())
                        .arg(chosen->blue()));
            StoreInEditedCell(text());
        }
        break;
    }
    case Mode::PopupForm: {
        if (!host_)
            return;
        PopupFormRequest request;
        request.popupValue = popupValue_;
        request.popupDocument = popupDocument_;
        request.opener = this;
        request.columnOffset = columnOffset_;
        // As a cell editor the pop-up form learns the edited row's key, and the edit ends first:
        // the choice arrives in the cell as a finished edit.
        QPointer<GridView> grid = grid_;
        const int column = column_;
        const int row = EditedRow();
        if (grid && row >= 0) {
            const QString key = grid->RowKey(row);
            request.openerValue = key.isEmpty() ? QStringLiteral("0") : key;
            grid->EndEdit(1);
        }
        const quint64 serial = rowSerial_;
        QString returned;
        if (!host_->RunPopupForm(request, returned))
            return;
        setText(returned);
        if (grid && row >= 0) {
            const int now = grid->FindRowBySerial(serial);
            if (now >= 0)
                grid->ApplyEditorText(now, column);
            return;
        }
        // Kill-focus then set-focus: the box's leave action runs and the user goes on typing here.
        Q_EMIT popupAccepted();
        setFocus(Qt::OtherFocusReason);
        break;
    }
    }
}

void EditWithButton::SetColorChooser(ColorChooser chooser) {
    ColorChooserSlot() = std::move(chooser);
}

void EditWithButton::SetPickList(PickListQuery query, int firstColumn, int totalWidth) {
    pickQuery_ = std::move(query);
    if (!pickQuery_)
        return;
    if (!pickList_) {
        pickList_ = new PickListPopup(this);
        connect(pickList_, &PickListPopup::chosen, this, &EditWithButton::TakePick);
        connect(pickList_, &PickListPopup::dismissed, this, [this] { setFocus(); });
    }
    pickList_->SetWidths(firstColumn, totalWidth);
}

void EditWithButton::HidePickList() {
    if (pickList_)
        pickList_->hide();
}

void EditWithButton::RequestPickList() {
    // The query reads what it needs of the form here, on the interface thread; the worker only
    // finds the rows.
    PickListRows findRows = pickQuery_(text());
    const quint64 serial = ++shared_->latest;
    const std::shared_ptr<PickShared> shared = shared_;
    EditWithButton* self = this;
    QThread* worker = QThread::create([shared, findRows = std::move(findRows), serial, self] {
        std::lock_guard queryLock(shared->queryLock);
        // A newer request made while this one waited for the lock replaces it.
        if (shared->latest.load() != serial)
            return;
        const QStringList cells = findRows ? findRows() : QStringList();
        std::lock_guard postLock(shared->postLock);
        if (!shared->alive || shared->latest.load() != serial)
            return;
        QMetaObject::invokeMethod(
            self, [self, serial, cells] { self->ApplyPickRows(serial, cells); },
            Qt::QueuedConnection);
    });
    connect(worker, &QThread::finished, worker, &QObject::deleteLater);
    workers_.removeAll(nullptr);
    workers_.append(worker);
    worker->start();
}

void EditWithButton::ApplyPickRows(quint64 serial, const QStringList& cells) {
    // A result that arrives after a newer request was made is already out of date.
    if (serial != shared_->latest.load() || !pickList_)
        return;
    const int rows = int(cells.size() / 2);
    if (rows == 0) {
        pickList_->hide();
        Q_EMIT pickListUpdated(0);
        return;
    }
    pickList_->SetRows(cells);
    pickList_->setGeometry(
        QRect(mapToGlobal(QPoint(0, height())),
              QSize(pickList_->TotalWidth(), PickListPopup::HeightForRows(rows))));
    pickList_->show();
    Q_EMIT pickListUpdated(rows);
}

void EditWithButton::TakePick(const QString& text) {
    // The chosen text is final: it raises the box's change action but asks for no suggestions.
    takingPick_ = true;
    setText(text);
    takingPick_ = false;
    // In a cell, the choice ends the edit as Enter does: the cell takes it, its column's steps
    // run and the user goes on in the next cell.
    if (grid_ && grid_->EditorWindow() == this) {
        grid_->EndEditByEnter();
        return;
    }
    setFocus();
}

void EditWithButton::SetEditedCell(GridView* grid, int row, int column) {
    grid_ = grid;
    column_ = column;
    const ItemData* data = grid ? grid->RowData(row) : nullptr;
    rowSerial_ = data ? data->serial : 0;
}

GridView* EditWithButton::EditedGrid() const {
    return grid_;
}

int EditWithButton::EditedColumn() const {
    return grid_ ? column_ : -1;
}

int EditWithButton::EditedRow() const {
    if (!grid_ || rowSerial_ == 0)
        return -1;
    const int row = grid_->EditorWindow() == this ? grid_->EditRow() : -1;
    const ItemData* data = grid_->RowData(row);
    return data && data->serial == rowSerial_ ? row : grid_->FindRowBySerial(rowSerial_);
}

void EditWithButton::StoreInEditedCell(const QString& text) {
    const int row = EditedRow();
    if (!grid_ || row < 0 || grid_->CellText(row, column_) == text)
        return;
    grid_->SetCellText(row, column_, text);
    grid_->MarkRowEdited(row);
}
