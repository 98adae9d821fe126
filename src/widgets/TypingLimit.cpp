#include "widgets/TypingLimit.h"

#include <QAction>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QDropEvent>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>

#include <algorithm>
#include <limits>

namespace {

const char* const kLimitProperty = "typingLimit";

// The text a key press inserts, as the boxes themselves decide it; empty for other keys.
QString TypedText(const QKeyEvent& key, bool multiLine) {
    if (multiLine && (key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter))
        return QStringLiteral("\n");
    const QString text = key.text();
    if (text.isEmpty() || !(text.front().isPrint() || (multiLine && text.front() == u'\t')))
        return {};
    return text;
}

// Watches every way the user puts text into the box; whatever would lengthen the text past the
// limit is cut to what fits, or refused when nothing fits.
class TypingLimit : public QObject {
public:
    TypingLimit(QWidget* box, int limit)
        : QObject(box), box_(box), line_(qobject_cast<QLineEdit*>(box)),
          plain_(qobject_cast<QPlainTextEdit*>(box)), limit_(limit) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        Q_UNUSED(watched);
        if (line_ ? line_->isReadOnly() : plain_->isReadOnly())
            return false;
        switch (event->type()) {
        case QEvent::KeyPress:
            return OnKey(*static_cast<QKeyEvent*>(event));
        case QEvent::InputMethod:
            OnInputMethod(*static_cast<QInputMethodEvent*>(event));
            return false;
        case QEvent::Drop:
            return OnDrop(*static_cast<QDropEvent*>(event));
        case QEvent::MouseButtonRelease:
            return OnMiddleButton(*static_cast<QMouseEvent*>(event));
        case QEvent::ContextMenu:
            return OnContextMenu(*static_cast<QContextMenuEvent*>(event));
        default:
            return false;
        }
    }

private:
    qsizetype Length() const { return line_ ? line_->text().size() : plain_->toPlainText().size(); }
    qsizetype Selected() const {
        return line_ ? line_->selectedText().size() : plain_->textCursor().selectedText().size();
    }
    // How many characters may take the place of `replaced` characters of the text.
    qsizetype Room(qsizetype replaced) const {
        const qsizetype length = Length();
        return std::max<qsizetype>(0, std::max<qsizetype>(limit_, length) - length + replaced);
    }
    void Insert(const QString& text) {
        if (line_)
            line_->insert(text);
        else
            plain_->insertPlainText(text);
    }
    // Pastes in place of the selection what fits of the text.
    void Paste(const QString& text) { Insert(text.left(Room(Selected()))); }

    bool OnKey(const QKeyEvent& key) {
        if (key.matches(QKeySequence::Paste)) {
            const QString clip = QGuiApplication::clipboard()->text();
            if (clip.size() <= Room(Selected()))
                return false; // the box pastes it as usual
            Paste(clip);
            return true;
        }
        const QString typed = TypedText(key, plain_ != nullptr);
        if (typed.size() <= Room(Selected()))
            return false;
        Paste(typed);
        return true;
    }

    void OnInputMethod(QInputMethodEvent& input) {
        const qsizetype room = Room(Selected() + input.replacementLength());
        if (input.commitString().size() > room)
            input.setCommitString(input.commitString().left(room), input.replacementStart(),
                                  input.replacementLength());
    }

    bool OnDrop(QDropEvent& drop) {
        // Text moved inside the box does not lengthen it.
        const auto* source = qobject_cast<const QWidget*>(drop.source());
        if (source && (source == box_ || box_->isAncestorOf(source)))
            return false;
        if (!drop.mimeData() || drop.mimeData()->text().size() <= Room(0))
            return false;
        drop.ignore();
        return true;
    }

    // The X11 selection pasted with the middle button, at the pointer.
    bool OnMiddleButton(const QMouseEvent& mouse) {
        QClipboard* clipboard = QGuiApplication::clipboard();
        if (mouse.button() != Qt::MiddleButton || !clipboard->supportsSelection())
            return false;
        const QString clip = clipboard->text(QClipboard::Selection);
        if (clip.size() <= Room(0))
            return false;
        if (line_)
            line_->deselect();
        else
            plain_->setTextCursor(plain_->cursorForPosition(mouse.position().toPoint()));
        Paste(clip);
        return true;
    }

    // The box's own menu, with a Paste that keeps to the limit.
    bool OnContextMenu(const QContextMenuEvent& request) {
        QMenu* menu =
            line_ ? line_->createStandardContextMenu() : plain_->createStandardContextMenu();
        if (!menu)
            return false;
        // The multi-line box names its Paste; the one-line box's is known by its text.
        const QString pasteText =
            QCoreApplication::translate(line_ ? "QLineEdit" : "QWidgetTextControl", "&Paste");
        const QList<QAction*> actions = menu->actions();
        for (QAction* original : actions) {
            if (original->objectName() != QLatin1String("edit-paste") &&
                original->text().section(QLatin1Char('\t'), 0, 0) != pasteText)
                continue;
            auto* paste = new QAction(original->icon(), original->text(), menu);
            paste->setObjectName(QStringLiteral("edit-paste"));
            paste->setEnabled(original->isEnabled());
            connect(paste, &QAction::triggered, this,
                    [this] { Paste(QGuiApplication::clipboard()->text()); });
            menu->insertAction(original, paste);
            menu->removeAction(original);
            delete original;
            break;
        }
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(request.globalPos());
        return true;
    }

    QWidget* box_;
    QLineEdit* line_;
    QPlainTextEdit* plain_;
    int limit_;
};

} // namespace

void LiftLengthCap(QLineEdit* box) {
    if (box)
        box->setMaxLength(std::numeric_limits<int>::max());
}

void LimitTyping(QWidget* box, int maxLength) {
    auto* plain = qobject_cast<QPlainTextEdit*>(box);
    auto* line = qobject_cast<QLineEdit*>(box);
    LiftLengthCap(line);
    if (maxLength <= 0 || (!plain && !line))
        return;
    auto* limit = new TypingLimit(box, maxLength);
    box->installEventFilter(limit);
    // Drops, mouse buttons and the pointer's menu reach a multi-line box through its viewport.
    if (plain)
        plain->viewport()->installEventFilter(limit);
    box->setProperty(kLimitProperty, maxLength);
}

int TypingLimitOf(const QWidget* box) {
    return box ? box->property(kLimitProperty).toInt() : 0;
}
