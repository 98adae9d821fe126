#include "widgets/CellEditWatcher.h"

#include "widgets/GridView.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QList>
#include <QWidget>

namespace {

QList<CellEditWatcher*>& Registrations() {
    static QList<CellEditWatcher*> registrations;
    return registrations;
}

bool InsideAnyEditor(const QWidget* widget) {
    return CellEditWatcher::Holding(widget) != nullptr;
}

// Ends every open edit whose editor has no drop-down open. The grids are collected first:
// ending an edit removes its registration from the list being walked.
void EndEveryEdit() {
    QList<QPointer<GridView>> grids;
    for (CellEditWatcher* hook : std::as_const(Registrations()))
        if (hook->Editor() && hook->Grid() && !hook->DropDownOpen())
            grids.append(hook->Grid());
    for (const QPointer<GridView>& grid : grids)
        if (grid)
            grid->EndEdit(1);
}

// The innermost widget under a pointer event that `receiver` got.
QWidget* PressedWidget(QWidget* receiver, QEvent* event) {
    QPoint pos(-1, -1);
    if (event->type() == QEvent::ContextMenu)
        pos = static_cast<QContextMenuEvent*>(event)->pos();
    else
        pos = static_cast<QSinglePointEvent*>(event)->position().toPoint();
    QWidget* child = receiver->childAt(pos);
    return child ? child : receiver;
}

// One for the process. It is switched on and off rather than created and deleted: the last edit
// often ends from inside one of its own callbacks, and the next edit opens right after.
class Watcher : public QObject {
public:
    void SetWatching(bool on) {
        if (on == watching_ || !qApp)
            return;
        watching_ = on;
        if (on) {
            qApp->installEventFilter(this);
            focus_ = connect(qApp, &QApplication::focusChanged, this, &Watcher::OnFocusChanged);
        } else {
            qApp->removeEventFilter(this);
            disconnect(focus_);
        }
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!watched->isWidgetType())
            return false;
        auto* widget = static_cast<QWidget*>(watched);
        switch (event->type()) {
        case QEvent::Show:
        case QEvent::Hide:
            if (widget->windowType() == Qt::Popup)
                if (CellEditWatcher* hook = CellEditWatcher::Holding(widget))
                    hook->SetDropDownOpen(event->type() == QEvent::Show);
            return false;
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::NonClientAreaMouseButtonPress:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
            // An event a widget inside an editor ignored travels on to its parents; it is still
            // the editor's, so the widget at its position is the one that counts.
            if (!InsideAnyEditor(PressedWidget(widget, event)))
                EndEveryEdit();
            return false;
        case QEvent::KeyPress:
            return OnKeyPress(widget, static_cast<QKeyEvent*>(event));
        default:
            return false;
        }
    }

private:
    bool OnKeyPress(QWidget* widget, QKeyEvent* event) {
        if (event->key() == Qt::Key_Alt) {
            EndEveryEdit();
            return false;
        }
        CellEditWatcher* hook = CellEditWatcher::Holding(widget);
        if (!hook || hook->DropDownOpen() || !hook->Grid())
            return false;
        // Keys for a pop-up window of the editor (its pick list) are that window's own.
        if (widget->window() != hook->Editor()->window())
            return false;
        GridView* grid = hook->Grid();
        if (grid->EditorKeepsKey(event))
            return false;
        const bool ctrl = event->modifiers() & Qt::ControlModifier;
        switch (event->key()) {
        case Qt::Key_Escape:
            grid->EndEdit(0);
            grid->setFocus(Qt::OtherFocusReason);
            return true;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            // Enter ends the edit and steps on; it never reaches the form's default button.
            if (ctrl)
                return false;
            grid->EndEditByEnter(event->modifiers());
            return true;
        case Qt::Key_Tab:
        case Qt::Key_Backtab: {
            // The grid takes the key: it steps to the next editable cell or leaves the grid.
            if (ctrl)
                return false;
            QKeyEvent resent(event->type(), event->key(), event->modifiers(), event->text());
            QApplication::sendEvent(grid, &resent);
            return true;
        }
        case Qt::Key_Up:
        case Qt::Key_Down:
            if (ctrl)
                return false;
            return grid->StepByKey(event);
        default:
            return false;
        }
    }

    void OnFocusChanged(QWidget* old, QWidget* now) {
        if (!old || !now)
            return;
        QList<QPointer<GridView>> grids;
        for (CellEditWatcher* hook : std::as_const(Registrations()))
            if (hook->Editor() && hook->Grid() && !hook->DropDownOpen() &&
                CellEditWatcher::Inside(old, hook->Editor()) &&
                !CellEditWatcher::Inside(now, hook->Editor()))
                grids.append(hook->Grid());
        for (const QPointer<GridView>& grid : grids)
            if (grid)
                grid->EndEdit(1);
    }

    bool watching_ = false;
    QMetaObject::Connection focus_;
};

Watcher& TheWatcher() {
    static Watcher* watcher = new Watcher;
    return *watcher;
}

} // namespace

CellEditWatcher::CellEditWatcher(QWidget* editor, GridView* grid) : editor_(editor), grid_(grid) {
    Registrations().append(this);
    TheWatcher().SetWatching(true);
}

CellEditWatcher::~CellEditWatcher() {
    Registrations().removeOne(this);
    if (Registrations().isEmpty())
        TheWatcher().SetWatching(false);
}

CellEditWatcher* CellEditWatcher::Holding(const QWidget* widget) {
    for (CellEditWatcher* hook : std::as_const(Registrations()))
        if (hook->editor_ && Inside(widget, hook->editor_))
            return hook;
    return nullptr;
}

int CellEditWatcher::Count() {
    return int(Registrations().size());
}

bool CellEditWatcher::Inside(const QWidget* widget, const QWidget* editor) {
    for (const QWidget* w = widget; w; w = w->parentWidget())
        if (w == editor)
            return true;
    return false;
}
