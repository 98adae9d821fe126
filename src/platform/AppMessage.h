#pragma once
// The one place through which the application shows a message to the user. The client installs
// its message boxes at start (InstallMessageBoxes); tests and the headless tools install their
// own sink, and without one messages go to standard error.
#include <QString>
#include <functional>

class QWidget;

enum class MessageButtons { Ok, OkCancel, YesNo };
enum class MessageAnswer { Ok, Cancel, Yes, No };
// Which box the client's sink opens: the toolkit's standard one or the system's own MessageBox.
enum class MessageStyle { Standard, System };

struct AppMessageRequest {
    QString text;
    QString caption;
    MessageButtons buttons = MessageButtons::Ok;
    MessageStyle style = MessageStyle::Standard;
    // The window the message is about; its box is placed over it. None: the screen's centre.
    QWidget* owner = nullptr;
};

using MessageSink = std::function<MessageAnswer(const AppMessageRequest&)>;

// Shows the message through the current sink and returns the button that closed it.
MessageAnswer ShowAppMessage(const QString& text,
                             const QString& caption = QStringLiteral("操作提示"),
                             MessageButtons buttons = MessageButtons::Ok, QWidget* owner = nullptr);

// Shows the message in the system's own box (OK, or OK and Cancel) through the same sink;
// answers Ok or Cancel.
MessageAnswer ShowZvMessage(const QString& text,
                            const QString& caption = QStringLiteral("操作提示"),
                            bool withCancel = false);

// Replaces the sink; returns the previous one so that a caller can restore it.
MessageSink SetMessageSink(MessageSink sink);

// A sink that writes each message as one line to standard error and answers Ok (or Yes).
// Used when VEMO_HEADLESS_MESSAGES is set, so scripted runs never wait on a dialog.
MessageAnswer StderrMessageSink(const AppMessageRequest& request);
