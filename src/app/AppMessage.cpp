#include "app/AppMessage.h"

#include "widgets/ZvMessageBox.h"

#include <QApplication>
#include <QMessageBox>
#include <QMutex>

#include <cstdio>

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

MessageSink DefaultSink() {
    if (!qEnvironmentVariableIsEmpty("VEMO_HEADLESS_MESSAGES") ||
        !qobject_cast<QApplication*>(QCoreApplication::instance()))
        return StderrMessageSink;
    return BoxSink;
}

QMutex& SinkMutex() {
    static QMutex mutex;
    return mutex;
}

MessageSink& CurrentSink() {
    static MessageSink sink;
    return sink;
}

MessageAnswer Deliver(const AppMessageRequest& request) {
    MessageSink sink;
    {
        QMutexLocker lock(&SinkMutex());
        if (!CurrentSink())
            CurrentSink() = DefaultSink();
        sink = CurrentSink();
    }
    return sink(request);
}

} // namespace

MessageAnswer StderrMessageSink(const AppMessageRequest& request) {
    QString line = request.text;
    line.replace('\n', ' ');
    std::fprintf(stderr, "[%s] %s\n", qPrintable(request.caption), qPrintable(line.trimmed()));
    return request.buttons == MessageButtons::YesNo ? MessageAnswer::Yes : MessageAnswer::Ok;
}

MessageAnswer ShowAppMessage(const QString& text, const QString& caption, MessageButtons buttons) {
    return Deliver(AppMessageRequest{text, caption, buttons, MessageStyle::Standard});
}

MessageAnswer ShowZvMessage(const QString& text, const QString& caption, bool withCancel) {
    return Deliver(AppMessageRequest{text, caption,
                                     withCancel ? MessageButtons::OkCancel : MessageButtons::Ok,
                                     MessageStyle::Zv});
}

MessageSink SetMessageSink(MessageSink sink) {
    QMutexLocker lock(&SinkMutex());
    MessageSink previous = CurrentSink();
    CurrentSink() = std::move(sink);
    return previous;
}
