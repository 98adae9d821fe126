#pragma once
// A key combination that reaches the client whichever program has the keyboard focus: a key
// grab on the X11 root window. Where the display is not X11 (offscreen, Wayland) nothing is
// grabbed and Register says so.
#include <QAbstractNativeEventFilter>
#include <QObject>

namespace platform {

class GlobalHotKey : public QObject, public QAbstractNativeEventFilter {
    Q_OBJECT
public:
    explicit GlobalHotKey(QObject* parent = nullptr);
    ~GlobalHotKey() override;
    GlobalHotKey(const GlobalHotKey&) = delete;
    GlobalHotKey& operator=(const GlobalHotKey&) = delete;

    // Grabs the combination (Control, Alt, Shift, Meta with F1 to F35, A to Z or 0 to 9). False
    // when the platform has no X11 display, the key is not on the keyboard, or another program
    // holds the combination already.
    bool Register(Qt::KeyboardModifiers modifiers, Qt::Key key);
    // Releases the grab; harmless when nothing is grabbed.
    void Unregister();
    bool IsRegistered() const { return keyCode_ != 0; }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

Q_SIGNALS:
    void Activated();

private:
    unsigned int keyCode_ = 0;
    unsigned int modifierMask_ = 0;
};

} // namespace platform
