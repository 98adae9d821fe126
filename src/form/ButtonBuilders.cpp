// Buttons: links, the Windows button kinds by their style bits, image buttons, drawn buttons.
#include "form/ControlBuilders.h"

#include "form/ControlHost.h"
#include "net/PictureDownloads.h"
#include "platform/StyleBits.h"
#include "platform/ValueGrammars.h"
#include "widgets/DrawnButton.h"
#include "widgets/ImageButton.h"
#include "widgets/LinkLabel.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>

#include <optional>

using FormXml::XmlNode;

namespace {

// `popup` 1 makes a link; otherwise style bits make a Windows button kind, and no bits an image
// button.
enum class ButtonFace { Link, Styled, Image };

struct ButtonSettings {
    ButtonFace face = ButtonFace::Image;
    QString text;
    StyleBits::ButtonStyle bits; // Styled
    // Image
    QString picture; // "1" to "4" for a built-in one, else a file or an http address
    int pictureSide = 0;
    std::optional<ImageButton::Shade> shade;
    QColor textColor;
    QString toolTip;

    bool disabled = false;
};

ButtonSettings ReadButton(const XmlNode& element, const ControlBuildContext&) {
    ButtonSettings settings;
    settings.text = element.GetAttribute("value");
    const int style = element.GetAttributeInt("style", 0);
    if (element.GetAttribute("popup") == QLatin1String("1")) {
        settings.face = ButtonFace::Link;
    } else if (style > 0) {
        settings.face = ButtonFace::Styled;
        settings.bits = StyleBits::ButtonStyleOf(style);
    } else {
        const QRect pos = ParseRectText(element.GetAttribute("pos")).ToQRect();
        settings.picture = element.GetAttribute("img");
        settings.pictureSide = pos.height() - 6;
        if (!element.GetAttribute("shade").isEmpty())
            settings.shade = element.GetAttributeInt("maxlen", 0) == 2
                                 ? ImageButton::Shade::Alternative
                                 : ImageButton::Shade::Normal;
        settings.textColor = ColorAttribute(element, "color");
        settings.toolTip = element.GetAttribute("desp");
    }
    settings.disabled = element.GetAttributeInt("disabled", 0) != 0;
    return settings;
}

QPixmap ButtonPicture(const QString& img, int side, const QString& exeFolder) {
    if (img.isEmpty())
        return {};
    static const QStyle::StandardPixmap builtIn[] = {
        QStyle::SP_DialogApplyButton, QStyle::SP_DialogCancelButton,
        QStyle::SP_FileDialogContentsView, QStyle::SP_DialogHelpButton};
    if (img.size() == 1 && img[0] >= QLatin1Char('1') && img[0] <= QLatin1Char('4')) {
        const QIcon icon = QApplication::style()->standardIcon(builtIn[img[0].unicode() - '1']);
        return icon.pixmap(qBound(16, side, 32));
    }
    if (img.left(4) == QStringLiteral("http"))
        return QPixmap(
            PictureDownloads::Instance().LocalFile(img, exeFolder + QStringLiteral("temp/")));
    return QPixmap(exeFolder + img);
}

QWidget* CreateStyledButton(const QString& text, const StyleBits::ButtonStyle& bits,
                            QWidget* parent) {
    QWidget* control = nullptr;
    QAbstractButton* button = nullptr;
    if (bits.kind == StyleBits::ButtonKind::GroupBox) {
        auto* group = new QGroupBox(text, parent);
        // Only a frame: clicks go to the controls inside it.
        group->setAttribute(Qt::WA_TransparentForMouseEvents);
        control = group;
    } else if (bits.pushLike || bits.kind == StyleBits::ButtonKind::Push) {
        auto* push = new QPushButton(text, parent);
        push->setCheckable(bits.kind != StyleBits::ButtonKind::Push);
        push->setDefault(bits.defaultButton);
        push->setFlat(bits.flat);
        button = push;
    } else if (bits.kind == StyleBits::ButtonKind::Radio) {
        button = new QRadioButton(text, parent);
    } else {
        auto* box = new QCheckBox(text, parent);
        box->setTristate(bits.kind == StyleBits::ButtonKind::ThreeState);
        button = box;
    }
    if (button) {
        if (bits.textLeft)
            button->setLayoutDirection(Qt::RightToLeft);
        control = button;
    }
    if (bits.disabled)
        control->setEnabled(false);
    return control;
}

QWidget* CreateButton(const ButtonSettings& settings, const ControlBuildContext& context) {
    QWidget* parent = context.host.FormWidget();
    QWidget* control = nullptr;
    switch (settings.face) {
    case ButtonFace::Link:
        control = new LinkLabel(settings.text, parent);
        break;
    case ButtonFace::Styled:
        control = CreateStyledButton(settings.text, settings.bits, parent);
        break;
    case ButtonFace::Image: {
        auto* button = new ImageButton(settings.text, parent);
        button->SetPicture(
            ButtonPicture(settings.picture, settings.pictureSide, context.exeFolder));
        if (button->Picture().isNull() && settings.picture.left(4) == QStringLiteral("http")) {
            // Shown once its download has arrived.
            QObject::connect(&PictureDownloads::Instance(), &PictureDownloads::arrived, button,
                             [button, settings, folder = context.exeFolder](const QString& url) {
                                 if (url == settings.picture)
                                     button->SetPicture(ButtonPicture(
                                         settings.picture, settings.pictureSide, folder));
                             });
        }
        if (settings.shade)
            button->SetShade(*settings.shade);
        if (settings.textColor.isValid())
            button->SetTextColor(settings.textColor);
        button->setToolTip(settings.toolTip);
        control = button;
        break;
    }
    }
    if (settings.disabled)
        control->setEnabled(false);
    return control;
}

struct DrawnButtonSettings {
    QString text;
    QColor textColor;
};

DrawnButtonSettings ReadDrawnButton(const XmlNode& element, const ControlBuildContext& context) {
    return {context.host.Expand(element.GetAttribute("value")), ColorAttribute(element, "color")};
}

QWidget* CreateDrawnButton(const DrawnButtonSettings& settings, QWidget* parent) {
    auto* button = new DrawnButton(settings.text, parent);
    button->SetTextColor(settings.textColor);
    return button;
}

} // namespace

QWidget* BuildButton(const XmlNode& element, const ControlBuildContext& context) {
    return CreateButton(ReadButton(element, context), context);
}

QWidget* BuildDrawnButton(const XmlNode& element, const ControlBuildContext& context) {
    return CreateDrawnButton(ReadDrawnButton(element, context), context.host.FormWidget());
}
