#pragma once
// The editable drop-down list of forms. A combo box that also tells when its list opens, and
// remembers the edit text as it stood before the latest selection: a selection writes the item's
// text into the edit field before it is reported, and the form's list rule compares with the
// text that was there.
#include <QComboBox>

class DropList : public QComboBox {
    Q_OBJECT
public:
    explicit DropList(QWidget* parent = nullptr);

    void showPopup() override;

    // The edit text as it stood before the change now being reported.
    QString SettledText() const { return settled_; }
    // Takes the current edit text as the settled one.
    void Settle();

Q_SIGNALS:
    void popupOpening();

private:
    QString settled_;
};
