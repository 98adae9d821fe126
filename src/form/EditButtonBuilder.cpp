// The edit-with-button box: its button's mode, its pop-up form and its pick list.
#include "form/ControlBuilders.h"

#include "form/ControlHost.h"
#include "form/ValueGrammars.h"
#include "form/ZvControls.h"
#include "platform/StyleBits.h"
#include "widgets/CFileEditCtrl.h"
#include "widgets/TypingLimit.h"

using ZUDad::CXmlNode;

namespace {

struct EditButtonSettings {
    int style = 0;
    CFileEditCtrl::Mode mode = CFileEditCtrl::Mode::TextEditor;
    QString popupValue;
    QString popupDocument; // the serialised popup/html element the `popup` names
    int minLength = 0;     // the pop-up form's column offset; negative: the first column's width
    int maxLength = 0;     // the typing limit; negative: the pick list's width
    QString value;         // the pick-list query, or else the text shown
    QList<int> pickParameters;
    bool readOnly = false;
    bool disabled = false;
    QColor textColor;
    QColor background;
    bool buttonShaded = true;
};

EditButtonSettings ReadEditButton(const CXmlNode& element, const ControlBuildContext& context) {
    EditButtonSettings settings;
    settings.style = element.GetAttributeInt("style", 0);
    settings.popupValue = element.GetAttribute("popup");
    if (settings.popupValue == QLatin1String("-1")) {
        settings.mode = CFileEditCtrl::Mode::ColorChooser;
    } else if (!settings.popupValue.isEmpty()) {
        settings.mode = CFileEditCtrl::Mode::PopupForm;
        settings.popupDocument =
            context.body
                .SelectSingleNode(QStringLiteral("popup/html[@id=%1]").arg(settings.popupValue))
                .GetXml();
    }
    settings.minLength = element.GetAttributeInt("minlen", 0);
    settings.maxLength = element.GetAttributeInt("maxlen", 0);
    settings.value = element.GetAttribute("value");
    for (const QString& part : element.GetAttribute("desp").split(QLatin1Char(';')))
        if (!part.isEmpty())
            settings.pickParameters.append(ParseIntegerText(part));
    settings.readOnly = element.GetAttributeInt("readonly", 0) != 0;
    settings.disabled = element.GetAttributeInt("disabled", 0) != 0;
    settings.textColor = ColorAttribute(element, "color");
    settings.background = ColorAttribute(element, "img");
    settings.buttonShaded = element.GetAttribute("shade") != QLatin1String("0");
    return settings;
}

QWidget* CreateEditButton(const EditButtonSettings& settings, const ControlBuildContext& context) {
    auto* box = new CFileEditCtrl(context.host.FormWidget());
    box->SetHost(&context.host);
    StyleBits::ApplyEditStyle(box, settings.style);
    box->SetMode(settings.mode);
    if (settings.mode == CFileEditCtrl::Mode::PopupForm)
        box->SetPopup(settings.popupValue, settings.popupDocument);
    box->SetColumnOffset(settings.minLength);

    const int firstColumn = settings.minLength < 0 ? -settings.minLength : 280;
    const int totalWidth = settings.maxLength < 0 ? -settings.maxLength : 800;
    box->SetPickList(settings.value, settings.pickParameters, firstColumn, totalWidth);
    box->SetControlTextReader([controlText = context.controlText](int windowId) {
        return controlText(DocumentIdOfWindowId(windowId));
    });
    if (box->PickListQuery().isEmpty()) {
        box->setText(settings.value);
        box->setCursorPosition(0);
    }

    if (settings.readOnly)
        box->setReadOnly(true);
    LimitTyping(box, settings.maxLength);
    if (settings.disabled)
        box->setEnabled(false);
    QPalette palette = box->palette();
    if (settings.textColor.isValid())
        palette.setColor(QPalette::Text, settings.textColor);
    if (settings.background.isValid())
        palette.setColor(QPalette::Base, settings.background);
    box->setPalette(palette);
    box->SetButtonShaded(settings.buttonShaded);
    return box;
}

} // namespace

QWidget* BuildEditButton(const CXmlNode& element, const ControlBuildContext& context) {
    return CreateEditButton(ReadEditButton(element, context), context);
}
