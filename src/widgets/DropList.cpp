#include "widgets/DropList.h"

#include "widgets/TypingLimit.h"

#include <QLineEdit>

DropList::DropList(QWidget* parent) : QComboBox(parent) {
    setEditable(true);
    LiftLengthCap(lineEdit());
    // Typed text stays as typed: no completion, and Enter never adds an item.
    setCompleter(nullptr);
    setInsertPolicy(QComboBox::NoInsert);
    // A selection changes the text and reports the selection in one go; a text put in any other
    // way (typing, a command) is taken as settled once that go has ended.
    connect(lineEdit(), &QLineEdit::textEdited, this, [this] { Settle(); });
    connect(lineEdit(), &QLineEdit::textChanged, this,
            [this] { QMetaObject::invokeMethod(this, &DropList::Settle, Qt::QueuedConnection); });
}

void DropList::showPopup() {
    Q_EMIT popupOpening();
    QComboBox::showPopup();
}

void DropList::Settle() {
    settled_ = currentText();
}
