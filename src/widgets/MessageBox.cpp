#include "widgets/MessageBox.h"

#include "widgets/DrawnButton.h"

#include <QClipboard>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>

namespace {

constexpr int kStartWidth = 320;
constexpr int kStartHeight = 160;
constexpr int kMargin = 5;
constexpr int kStartLabelHeight = 50;
constexpr int kButtonOffset = 40;

} // namespace

MessageBox::MessageBox(const QString& text, const QString& caption, bool withCancel,
                       QWidget* parent)
    : QDialog(parent), m_text(text), m_withCancel(withCancel) {
    setWindowTitle(caption);
    setModal(true);

    // Black on white whatever the desktop theme; a top-level window paints its palette's
    // Window colour, and the label, drawing no background, shows it through.
    QPalette colours = palette();
    colours.setColor(QPalette::Window, Qt::white);
    colours.setColor(QPalette::WindowText, Qt::black);
    setPalette(colours);

    m_label = new QLabel(this);
    m_label->setObjectName(QStringLiteral("messageLabel"));
    m_label->setAutoFillBackground(false);
    m_label->setTextFormat(Qt::PlainText);
    m_label->setWordWrap(false);
    m_label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // Stored texts may carry Windows line ends; the CR would otherwise show as a glyph.
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    m_label->setText(shown);

    m_ok = new DrawnButton(QStringLiteral("确定"), this);
    m_ok->setObjectName(QStringLiteral("okButton"));
    m_ok->setDefault(true);
    connect(m_ok, &QPushButton::clicked, this, [this] { Finish(Button::Ok); });
    if (withCancel) {
        m_cancel = new DrawnButton(QStringLiteral("取消"), this);
        m_cancel->setObjectName(QStringLiteral("cancelButton"));
        connect(m_cancel, &QPushButton::clicked, this, [this] { Finish(Button::Cancel); });
    }

    FitToText();
    PlaceButtons();
    m_ok->setFocus();
}

MessageBox::Button MessageBox::Ask(const QString& text, const QString& caption, bool withCancel,
                                   QWidget* parent) {
    MessageBox box(text, caption, withCancel, parent);
    box.exec();
    return box.clickedButton();
}

void MessageBox::reject() {
    Finish(m_withCancel ? Button::Cancel : Button::Ok);
}

void MessageBox::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Copy)) {
        QGuiApplication::clipboard()->setText(m_text);
        event->accept();
        return;
    }
    // QDialog would reject on Escape; the box only closes through its buttons or close box.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void MessageBox::Finish(Button button) {
    m_clicked = button;
    done(button == Button::Ok ? QDialog::Accepted : QDialog::Rejected);
}

void MessageBox::FitToText() {
    const QFontMetrics metrics(m_label->font());
    const QStringList lines = m_label->text().split(QLatin1Char('\n'));
    int widest = 0;
    for (const QString& line : lines)
        widest = qMax(widest, metrics.horizontalAdvance(line));
    const int fitHeight = metrics.lineSpacing() * (int(lines.size()) + 1);

    int width = kStartWidth;
    int height = kStartHeight;
    QRect label(kMargin, kMargin, kStartWidth - 2 * kMargin, kStartLabelHeight);
    if (label.height() < fitHeight) {
        label.setHeight(fitHeight + 10);
        height = fitHeight + 100;
    }
    if (label.width() < widest + 20) {
        label.setWidth(widest + 5);
        width = widest + 20;
    }
    m_label->setGeometry(label);
    setFixedSize(width, height);
}

void MessageBox::PlaceButtons() {
    const int top = height() - kButtonOffset;
    const auto centreAt = [top](QPushButton* button, int centreX) {
        const QSize size = button->sizeHint();
        button->setGeometry(centreX - size.width() / 2, top, size.width(), size.height());
    };
    if (m_cancel) {
        centreAt(m_ok, width() / 3);
        centreAt(m_cancel, width() * 2 / 3);
    } else {
        centreAt(m_ok, width() / 2);
    }
}
