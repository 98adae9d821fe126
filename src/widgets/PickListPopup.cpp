#include "widgets/PickListPopup.h"

#include <QHeaderView>
#include <QMouseEvent>
#include <QSizeGrip>
#include <QTreeWidget>
#include <QVBoxLayout>

PickListPopup::PickListPopup(QWidget* owner)
    : QWidget(owner, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                         Qt::WindowDoesNotAcceptFocus),
      list_(new QTreeWidget(this)), grip_(new QSizeGrip(this)) {
    // The box keeps the keyboard while the user types and chooses; the list follows the typing.
    // A list holding the focus would leave its form, once it closed, with a hidden box as the
    // focus to go back to, and the form would pass it on to whatever control comes next.
    setAttribute(Qt::WA_ShowWithoutActivating);
    list_->setFocusPolicy(Qt::NoFocus);
    setProperty("windowId", kWindowId);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    // The list takes whatever height its rows ask for, however few.
    list_->setMinimumSize(1, 1);
    list_->setColumnCount(2);
    list_->setHeaderHidden(true);
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setAllColumnsShowFocus(true);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list_->viewport()->installEventFilter(this);
    layout->addWidget(list_);
    connect(list_, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item) { Choose(list_->indexOfTopLevelItem(item)); });
    // The window has no frame, so the corner grip is how the user widens a long list.
    grip_->resize(grip_->sizeHint());
}

void PickListPopup::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    grip_->move(width() - grip_->width(), height() - grip_->height());
    grip_->raise();
}

void PickListPopup::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    // A platform that activates every window it shows: the keyboard goes back to the box.
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && parentWidget() &&
        parentWidget()->isVisible())
        parentWidget()->activateWindow();
}

void PickListPopup::hideEvent(QHideEvent* event) {
    hasArrows_ = false;
    QWidget::hideEvent(event);
}

void PickListPopup::SetWidths(int firstColumn, int total) {
    firstWidth_ = firstColumn;
    totalWidth_ = total;
    list_->setColumnWidth(0, firstColumn);
    list_->setColumnWidth(1, qMax(0, total - firstColumn));
}

void PickListPopup::SetRows(const QStringList& cells) {
    list_->clear();
    QList<QTreeWidgetItem*> items;
    for (qsizetype i = 0; i + 1 < cells.size(); i += 2)
        items.append(new QTreeWidgetItem(QStringList{cells[i], cells[i + 1]}));
    list_->addTopLevelItems(items);
    hasArrows_ = false;
    list_->setColumnWidth(0, firstWidth_);
    list_->setColumnWidth(1, qMax(0, totalWidth_ - firstWidth_));
    if (!items.isEmpty())
        list_->setCurrentItem(items.first());
}

int PickListPopup::RowCount() const {
    return list_->topLevelItemCount();
}

QString PickListPopup::RowText(int row, int column) const {
    const QTreeWidgetItem* item = list_->topLevelItem(row);
    return item ? item->text(column) : QString();
}

int PickListPopup::HeightForRows(int rows) {
    if (rows <= 1)
        return 26;
    return qMin(21 * rows + 5, 280);
}

bool PickListPopup::HandleKey(int key) {
    const int row = list_->indexOfTopLevelItem(list_->currentItem());
    switch (key) {
    case Qt::Key_Escape:
        hide();
        Q_EMIT dismissed();
        return true;
    case Qt::Key_Up:
        // The first row stays current: the list does not wrap.
        if (row > 0)
            list_->setCurrentItem(list_->topLevelItem(row - 1));
        return true;
    case Qt::Key_Down:
        if (row + 1 < RowCount())
            list_->setCurrentItem(list_->topLevelItem(row + 1));
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (row < 0)
            return false;
        Choose(row);
        return true;
    default:
        return false;
    }
}

bool PickListPopup::eventFilter(QObject* watched, QEvent* event) {
    if (watched == list_->viewport() && event->type() == QEvent::MouseButtonPress) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::RightButton) {
            if (QTreeWidgetItem* item = list_->itemAt(mouse->position().toPoint())) {
                Choose(list_->indexOfTopLevelItem(item));
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

void PickListPopup::Choose(int row) {
    if (row < 0 || row >= RowCount())
        return;
    const QString text = RowText(row, 0);
    hide();
    Q_EMIT chosen(text);
}

void PickListPopup::TakeArrows() {
    if (list_->topLevelItemCount() == 0)
        return;
    list_->setCurrentItem(list_->topLevelItem(0));
    hasArrows_ = true;
}
