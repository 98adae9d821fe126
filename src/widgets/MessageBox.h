#pragma once
// The system's own modal message box: a white dialog whose label is sized to the message's
// explicit lines, with OK and, when asked, Cancel. Escape does not dismiss it, so a stray key
// press cannot answer a confirmation; Ctrl+C copies the message.
//
// Geometry (all sizes are of the dialog's client area, in pixels):
//  - start: dialog 320 x 160, label at (5, 5), 310 x 50;
//  - W = widest line of the message (lines split at "\n"), H = line spacing x (lines + 1),
//    both measured with the label's font;
//  - label height < H:      label height H + 10, dialog height H + 100;
//  - label width < W + 20:  label width W + 5,   dialog width W + 20;
//  - buttons: top edge 40 pixels above the bottom edge (y = height - 40), centred horizontally
//    at width / 2 for OK alone, at width / 3 (OK) and 2 * width / 3 (Cancel) together.
#include <QDialog>

class QLabel;
class QPushButton;

class MessageBox : public QDialog {
    Q_OBJECT
public:
    enum class Button { Ok, Cancel };

    MessageBox(const QString& text, const QString& caption, bool withCancel,
               QWidget* parent = nullptr);

    // Opens the box modally and returns the button that closed it.
    static Button Ask(const QString& text, const QString& caption, bool withCancel,
                      QWidget* parent = nullptr);

    // The answer of the last close; Ok until the box has been closed.
    Button clickedButton() const { return m_clicked; }
    QString text() const { return m_text; }

    // exec() answers Accepted for OK and Rejected for Cancel; reject() (the window's close box)
    // counts as Cancel when Cancel is offered and as OK otherwise.
    void reject() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Finish(Button button);
    void FitToText();
    void PlaceButtons();

    QString m_text;
    bool m_withCancel;
    Button m_clicked = Button::Ok;
    QLabel* m_label;
    QPushButton* m_ok;
    QPushButton* m_cancel = nullptr;
};
