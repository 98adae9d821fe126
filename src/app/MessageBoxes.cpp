#include "app/MessageBoxes.h"

#include "platform/AppMessage.h"
#include "widgets/MessageBox.h"

#include <QGridLayout>
#include <QMessageBox>

namespace {

// Room beside the caption for the title bar's icon and buttons.
constexpr int kTitleBarExtras = 140;

// The standard box takes the width of its text alone; a short message under a longer caption
// would show the title cut off.
void FitCaption(QMessageBox& box) {
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    if (!grid)
        return;
    QFont titleFont = box.font();
    titleFont.setBold(true);
    const int width =
        QFontMetrics(titleFont).horizontalAdvance(box.windowTitle()) + kTitleBarExtras;
    grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                  grid->rowCount(), 0, 1, grid->columnCount());
}

MessageAnswer SystemBoxSink(const AppMessageRequest& request) {
    const bool withCancel = request.buttons != MessageButtons::Ok;
    const bool yesNo = request.buttons == MessageButtons::YesNo;
    if (MessageBox::Ask(request.text, request.caption, withCancel, request.owner) ==
        MessageBox::Button::Ok)
        return yesNo ? MessageAnswer::Yes : MessageAnswer::Ok;
    return yesNo ? MessageAnswer::No : MessageAnswer::Cancel;
}

MessageAnswer BoxSink(const AppMessageRequest& request) {
    if (request.style == MessageStyle::System)
        return SystemBoxSink(request);
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    if (request.buttons == MessageButtons::OkCancel)
        buttons = QMessageBox::Ok | QMessageBox::Cancel;
    else if (request.buttons == MessageButtons::YesNo)
        buttons = QMessageBox::Yes | QMessageBox::No;
    QMessageBox box(QMessageBox::Information, request.caption, request.text, buttons,
                    request.owner);
    FitCaption(box);
    switch (box.exec()) {
    case QMessageBox::Cancel:
        return MessageAnswer::Cancel;
    case QMessageBox::Yes:
        return MessageAnswer::Yes;
    case QMessageBox::No:
        return MessageAnswer::No;
    default:
        return MessageAnswer::Ok;
    }
}

} // namespace

void InstallMessageBoxes() {
    if (qEnvironmentVariableIsEmpty("VEMO_HEADLESS_MESSAGES"))
        SetMessageSink(BoxSink);
}
