#include "app/MessageBoxes.h"

#include "platform/AppMessage.h"
#include "widgets/ZvMessageBox.h"

#include <QMessageBox>

namespace {

MessageAnswer ZvBoxSink(const AppMessageRequest& request) {
    const bool withCancel = request.buttons != MessageButtons::Ok;
    const bool yesNo = request.buttons == MessageButtons::YesNo;
    if (ZvMessageBox::Ask(request.text, request.caption, withCancel) == ZvMessageBox::Button::Ok)
        return yesNo ? MessageAnswer::Yes : MessageAnswer::Ok;
    return yesNo ? MessageAnswer::No : MessageAnswer::Cancel;
}

MessageAnswer BoxSink(const AppMessageRequest& request) {
    if (request.style == MessageStyle::Zv)
        return ZvBoxSink(request);
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    if (request.buttons == MessageButtons::OkCancel)
        buttons = QMessageBox::Ok | QMessageBox::Cancel;
    else if (request.buttons == MessageButtons::YesNo)
        buttons = QMessageBox::Yes | QMessageBox::No;
    QMessageBox box(QMessageBox::Information, request.caption, request.text, buttons);
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
