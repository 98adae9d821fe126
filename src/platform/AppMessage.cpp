#include "platform/AppMessage.h"

#include <QMutex>

#include <cstdio>

namespace {

// Until the client installs its message boxes, messages go to standard error: a tool or a test
// never waits on a box nobody sees.
MessageSink DefaultSink() {
    return StderrMessageSink;
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

MessageAnswer ShowAppMessage(const QString& text, const QString& caption, MessageButtons buttons,
                             QWidget* owner) {
    return Deliver(AppMessageRequest{text, caption, buttons, MessageStyle::Standard, owner});
}

MessageAnswer ShowZvMessage(const QString& text, const QString& caption, bool withCancel) {
    return Deliver(AppMessageRequest{text, caption,
                                     withCancel ? MessageButtons::OkCancel : MessageButtons::Ok,
                                     MessageStyle::System, nullptr});
}

MessageSink SetMessageSink(MessageSink sink) {
    QMutexLocker lock(&SinkMutex());
    MessageSink previous = CurrentSink();
    CurrentSink() = std::move(sink);
    return previous;
}
