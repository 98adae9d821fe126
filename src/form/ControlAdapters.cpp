#include "form/ControlAdapters.h"

#include "widgets/DrawingView.h"
#include "widgets/DrawnButton.h"
#include "widgets/DrawnLabel.h"
#include "widgets/EditWithButton.h"
#include "widgets/GridView.h"
#include "widgets/PictureView.h"
#include "widgets/TextAsTyped.h"
#include "widgets/TreeListView.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QGroupBox>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <QTreeWidget>

// An adapter's functions are called only for widgets AdapterOf gave it to, so a kind of one
// widget class casts without checking.

namespace {

// --- A window of no kind ---

QString TitleText(const QWidget* control) {
    return control->windowTitle();
}

void SetTitleText(QWidget* control, const QString& text) {
    control->setWindowTitle(text);
    control->setProperty("text", text);
    control->update();
}

// A reset leaves a zero in a box: it is the value the box was made with.
bool KeepsZero(const QString& text) {
    return text == QLatin1String("0") || text == QLatin1String("0.00");
}

// --- Text boxes: one line or several ---

QString TextBoxText(const QWidget* control) {
    if (const auto* line = qobject_cast<const QLineEdit*>(control))
        return line->text();
    return TextAsTyped(static_cast<const QPlainTextEdit*>(control)->document());
}

void SetTextBoxText(QWidget* control, const QString& text) {
    if (auto* line = qobject_cast<QLineEdit*>(control))
        line->setText(text);
    else
        static_cast<QPlainTextEdit*>(control)->setPlainText(text);
}

// The whole text selected with the caret at its start, so the beginning of a long value shows.
void SelectAllFromStart(QPlainTextEdit* box) {
    QTextCursor cursor = box->textCursor();
    cursor.movePosition(QTextCursor::End);
    cursor.movePosition(QTextCursor::Start, QTextCursor::KeepAnchor);
    box->setTextCursor(cursor);
    box->ensureCursorVisible();
}

void WriteTextBoxValue(QWidget* control, const QString& value) {
    if (auto* line = qobject_cast<QLineEdit*>(control)) {
        line->setText(value);
        line->setSelection(int(value.size()), -int(value.size()));
        return;
    }
    auto* box = static_cast<QPlainTextEdit*>(control);
    box->setPlainText(value);
    SelectAllFromStart(box);
}

void ResetTextBox(QWidget* control) {
    if (auto* line = qobject_cast<QLineEdit*>(control)) {
        if (!line->isReadOnly() && !KeepsZero(line->text()))
            line->clear();
        return;
    }
    auto* box = static_cast<QPlainTextEdit*>(control);
    if (!box->isReadOnly() && !KeepsZero(TextAsTyped(box->document())))
        box->clear();
}

// --- Edit-with-button boxes ---

QString EditButtonText(const QWidget* control) {
    return static_cast<const EditWithButton*>(control)->text();
}

// Takes a value without selecting it, unlike a plain box.
void SetEditButtonText(QWidget* control, const QString& text) {
    static_cast<EditWithButton*>(control)->setText(text);
}

// Read-only or not, the box is emptied; its pick list goes with the old text.
void ResetEditButton(QWidget* control) {
    auto* box = static_cast<EditWithButton*>(control);
    box->HidePickList();
    if (!KeepsZero(box->text()))
        box->clear();
}

// --- Drop lists ---

QString DropListText(const QWidget* control) {
    return static_cast<const QComboBox*>(control)->currentText();
}

void SetDropListText(QWidget* control, const QString& text) {
    static_cast<QComboBox*>(control)->setEditText(text);
}

// The selected item, whatever has been typed over it; the typed text without a selection.
QString DropListValue(const QWidget* control) {
    const auto* list = static_cast<const QComboBox*>(control);
    return list->currentIndex() >= 0 ? list->itemText(list->currentIndex()) : list->currentText();
}

// Selects the item with exactly that text; a value the list lacks becomes its first item, and
// an empty one clears the selection.
void WriteDropListValue(QWidget* control, const QString& value) {
    auto* list = static_cast<QComboBox*>(control);
    for (int i = 0; i < list->count(); ++i) {
        if (list->itemText(i) == value) {
            list->setCurrentIndex(i);
            return;
        }
    }
    if (value.isEmpty()) {
        list->setCurrentIndex(-1);
        return;
    }
    list->insertItem(0, value);
    list->setCurrentIndex(0);
}

// --- Date fields ---

QString DateFieldText(const QWidget* control) {
    return static_cast<const QDateTimeEdit*>(control)->date().toString(
        QStringLiteral("yyyy-MM-dd"));
}

// Dates as query results and users write them: ISO first (a time part is ignored), then the
// forms of the system locale.
QDate ParseDateText(const QString& value) {
    const QString text = value.trimmed();
    if (text.isEmpty())
        return {};
    const QString datePart = text.section(QLatin1Char(' '), 0, 0).section(QLatin1Char('T'), 0, 0);
    for (const QString& format :
         {QStringLiteral("yyyy-M-d"), QStringLiteral("yyyy/M/d"), QStringLiteral("yyyy.M.d")}) {
        const QDate date = QDate::fromString(datePart, format);
        if (date.isValid())
            return date;
    }
    const QLocale locale = QLocale::system();
    for (const QLocale::FormatType format : {QLocale::ShortFormat, QLocale::LongFormat}) {
        if (const QDate date = locale.toDate(text, format); date.isValid())
            return date;
        if (const QDateTime stamp = locale.toDateTime(text, format); stamp.isValid())
            return stamp.date();
    }
    return {};
}

// A value that reads as no date leaves the field as it was.
void WriteDateFieldValue(QWidget* control, const QString& value) {
    if (const QDate parsed = ParseDateText(value); parsed.isValid())
        static_cast<QDateTimeEdit*>(control)->setDate(parsed);
}

void ResetDateField(QWidget* control) {
    static_cast<QDateTimeEdit*>(control)->setDate(QDate::currentDate());
}

// --- Buttons: push, check and radio buttons, links, picture buttons and group frames ---

QString ButtonText(const QWidget* control) {
    if (const auto* button = qobject_cast<const QAbstractButton*>(control))
        return button->text();
    return static_cast<const QGroupBox*>(control)->title();
}

// A group frame's title is not written: it takes the text as a plain window does.
void SetButtonText(QWidget* control, const QString& text) {
    if (auto* button = qobject_cast<QAbstractButton*>(control))
        button->setText(text);
    else
        SetTitleText(control, text);
}

QString DrawnButtonText(const QWidget* control) {
    return static_cast<const DrawnButton*>(control)->text();
}

void SetDrawnButtonText(QWidget* control, const QString& text) {
    static_cast<DrawnButton*>(control)->setText(text);
}

// --- Displays ---

QString StaticText(const QWidget* control) {
    return static_cast<const DrawnLabel*>(control)->Text();
}

void SetStaticText(QWidget* control, const QString& text) {
    static_cast<DrawnLabel*>(control)->SetText(text);
}

QString PictureText(const QWidget* control) {
    return static_cast<const PictureView*>(control)->Text();
}

QString DrawingText(const QWidget* control) {
    return static_cast<const DrawingView*>(control)->Text();
}

QString TreeListText(const QWidget* control) {
    return static_cast<const TreeListView*>(control)->Text();
}

// --- Grids and trees: their rows and nodes go; their texts are window titles ---

void ResetGrid(QWidget* control) {
    static_cast<GridView*>(control)->DeleteAllRows();
}

void ResetTree(QWidget* control) {
    static_cast<QTreeWidget*>(control)->clear();
}

} // namespace

const ControlAdapter kTextBoxAdapter{
    .widgetClasses = {&QLineEdit::staticMetaObject, &QPlainTextEdit::staticMetaObject},
    .text = TextBoxText,
    .setText = SetTextBoxText,
    .writeValue = WriteTextBoxValue,
    .reset = ResetTextBox,
    .eventTag = QLatin1String("textbox"),
};

const ControlAdapter kEditButtonAdapter{
    .widgetClasses = {&EditWithButton::staticMetaObject},
    .text = EditButtonText,
    .setText = SetEditButtonText,
    .writeValue = SetEditButtonText,
    .reset = ResetEditButton,
    .eventTag = QLatin1String("editbutton"),
};

const ControlAdapter kDropListAdapter{
    .widgetClasses = {&QComboBox::staticMetaObject},
    .text = DropListText,
    .setText = SetDropListText,
    .readValue = DropListValue,
    .writeValue = WriteDropListValue,
    .eventTag = QLatin1String("droplist"),
};

const ControlAdapter kDateFieldAdapter{
    .widgetClasses = {&QDateTimeEdit::staticMetaObject},
    .text = DateFieldText,
    .setText = SetTitleText,
    .writeValue = WriteDateFieldValue,
    .reset = ResetDateField,
    .eventTag = QLatin1String("datectrl"),
};

const ControlAdapter kButtonAdapter{
    .widgetClasses = {&QAbstractButton::staticMetaObject, &QGroupBox::staticMetaObject},
    .text = ButtonText,
    .setText = SetButtonText,
    .eventTag = QLatin1String("button"),
};

// The owner-drawn button has no actions of its own.
const ControlAdapter kDrawnButtonAdapter{
    .widgetClasses = {&DrawnButton::staticMetaObject},
    .text = DrawnButtonText,
    .setText = SetDrawnButtonText,
};

const ControlAdapter kStaticAdapter{
    .widgetClasses = {&DrawnLabel::staticMetaObject},
    .text = StaticText,
    .setText = SetStaticText,
    .seeThrough = true,
};

const ControlAdapter kPictureAdapter{
    .widgetClasses = {&PictureView::staticMetaObject},
    .text = PictureText,
    .setText = SetTitleText,
    .enterKeyTag = QLatin1String("treelist"),
};

const ControlAdapter kDrawingAdapter{
    .widgetClasses = {&DrawingView::staticMetaObject},
    .text = DrawingText,
    .setText = SetTitleText,
};

const ControlAdapter kGridAdapter{
    .widgetClasses = {&GridView::staticMetaObject},
    .text = TitleText,
    .setText = SetTitleText,
    .reset = ResetGrid,
    .eventTag = QLatin1String("table"),
};

const ControlAdapter kTreeAdapter{
    .widgetClasses = {&QTreeWidget::staticMetaObject},
    .text = TitleText,
    .setText = SetTitleText,
    .reset = ResetTree,
    .eventTag = QLatin1String("tree"),
};

const ControlAdapter kTreeListAdapter{
    .widgetClasses = {&TreeListView::staticMetaObject},
    .text = TreeListText,
    .setText = SetTitleText,
};

const ControlAdapter kWindowAdapter{
    .widgetClasses = {},
    .text = TitleText,
    .setText = SetTitleText,
};
