// Text boxes, drop-down lists and date fields.
#include "form/ControlBuilders.h"

#include "form/ControlHost.h"
#include "platform/StyleBits.h"
#include "widgets/DropList.h"
#include "widgets/TypingLimit.h"

#include <QDateEdit>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>

using FormXml::XmlNode;

namespace {

struct TextBoxSettings {
    int style = 0;
    bool readOnly = false;
    int maxLength = 0;
    QString text;
};

TextBoxSettings ReadTextBox(const XmlNode& element, const ControlBuildContext& context) {
    TextBoxSettings settings;
    settings.style = element.GetAttributeInt("style", 0);
    settings.readOnly = element.GetAttributeInt("readonly", 0) != 0;
    settings.maxLength = element.GetAttributeInt("maxlen", 0);
    settings.text = context.host.Expand(element.GetAttribute("value"));
    return settings;
}

QWidget* CreateTextBox(const TextBoxSettings& settings, QWidget* parent) {
    const int style = settings.style;
    if (style == 4 || style == 5 || StyleBits::EditStyleOf(style).multiLine) {
        auto* box = new QPlainTextEdit(parent);
        if (style == 4) {
            box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        } else if (style == 5) {
            box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
            box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
            box->setLineWrapMode(QPlainTextEdit::NoWrap);
            // Style 5 carries the centred bit already.
        }
        StyleBits::ApplyEditStyle(box, style);
        box->setProperty(kWantsReturnProperty, StyleBits::EditStyleOf(style).wantReturn);
        box->setTabChangesFocus(false);
        box->setPlainText(settings.text);
        if (settings.readOnly)
            box->setReadOnly(true);
        LimitTyping(box, settings.maxLength);
        return box;
    }
    auto* box = new QLineEdit(parent);
    StyleBits::ApplyEditStyle(box, style);
    LimitTyping(box, settings.maxLength);
    box->setText(settings.text);
    box->setCursorPosition(0);
    if (settings.readOnly)
        box->setReadOnly(true);
    return box;
}

struct DropListSettings {
    StyleBits::ComboStyle style;
    QString items; // separated by ";"
};

DropListSettings ReadDropList(const XmlNode& element, const ControlBuildContext& context) {
    DropListSettings settings;
    settings.style = StyleBits::ComboStyleOf(element.GetAttributeInt("style", 0));
    settings.items = context.host.Expand(element.GetAttribute("value"));
    return settings;
}

QWidget* CreateDropList(const DropListSettings& settings, QWidget* parent) {
    auto* list = new DropList(parent);
    list->setMaxVisibleItems(20);
    if (!settings.items.isEmpty())
        list->addItems(settings.items.split(QLatin1Char(';')));
    if (settings.style.sorted)
        list->model()->sort(0);
    list->setCurrentIndex(-1);
    list->setEditText(QString());
    list->Settle();
    StyleBits::ForceLetterCase(list->lineEdit(), settings.style.letterCase);
    if (settings.style.disabled)
        list->setEnabled(false);
    return list;
}

// A date as the forms write it: ISO first, then the common local forms, a time part allowed.
QDate ParseDateValue(const QString& value) {
    const QString text = value.trimmed();
    if (text.isEmpty())
        return {};
    const QString datePart = text.section(QLatin1Char(' '), 0, 0);
    for (const QString& format :
         {QStringLiteral("yyyy-MM-dd"), QStringLiteral("yyyy-M-d"), QStringLiteral("yyyy/M/d"),
          QStringLiteral("yyyy.M.d"), QStringLiteral("yyyyMMdd")}) {
        const QDate date = QDate::fromString(datePart, format);
        if (date.isValid())
            return date;
    }
    const QLocale locale = QLocale::system();
    QDate date = locale.toDate(text, QLocale::ShortFormat);
    if (!date.isValid())
        date = locale.toDate(text, QLocale::LongFormat);
    return date;
}

struct DateFieldSettings {
    StyleBits::DateStyle style;
    QDate date; // invalid: today
    bool readOnly = false;
};

DateFieldSettings ReadDateField(const XmlNode& element, const ControlBuildContext&) {
    DateFieldSettings settings;
    settings.style = StyleBits::DateStyleOf(element.GetAttributeInt("style", 0));
    settings.date = ParseDateValue(element.GetAttribute("value"));
    settings.readOnly = element.GetAttributeInt("readonly", 0) != 0;
    return settings;
}

QWidget* CreateDateField(const DateFieldSettings& settings, QWidget* parent) {
    auto* field = new QDateEdit(parent);
    field->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    field->setCalendarPopup(!settings.style.spinButtons);
    field->setDate(settings.date.isValid() ? settings.date : QDate::currentDate());
    if (settings.style.disabled || settings.readOnly)
        field->setEnabled(false);
    return field;
}

} // namespace

QWidget* BuildTextBox(const XmlNode& element, const ControlBuildContext& context) {
    return CreateTextBox(ReadTextBox(element, context), context.host.FormWidget());
}

QWidget* BuildDropList(const XmlNode& element, const ControlBuildContext& context) {
    return CreateDropList(ReadDropList(element, context), context.host.FormWidget());
}

QWidget* BuildDateField(const XmlNode& element, const ControlBuildContext& context) {
    return CreateDateField(ReadDateField(element, context), context.host.FormWidget());
}
