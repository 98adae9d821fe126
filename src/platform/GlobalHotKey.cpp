#include "platform/GlobalHotKey.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <cstdlib>

// X11 headers come last: their macros (None, Bool, KeyPress...) would clash with Qt's names.
#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <xcb/xcb.h>

namespace platform {

namespace {

// Lock states that must not stop the combination: Caps Lock and Num Lock.
constexpr unsigned int kLockVariants[] = {0, XCB_MOD_MASK_LOCK, XCB_MOD_MASK_2,
                                          XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2};
constexpr unsigned int kComparedModifiers =
    XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_4;

KeySym KeySymOf(Qt::Key key) {
    if (key >= Qt::Key_F1 && key <= Qt::Key_F35)
        return XK_F1 + (key - Qt::Key_F1);
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        return XK_a + (key - Qt::Key_A);
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return XK_0 + (key - Qt::Key_0);
    return NoSymbol;
}

unsigned int ModifierMask(Qt::KeyboardModifiers modifiers) {
    unsigned int mask = 0;
    if (modifiers & Qt::ShiftModifier)
        mask |= XCB_MOD_MASK_SHIFT;
    if (modifiers & Qt::ControlModifier)
        mask |= XCB_MOD_MASK_CONTROL;
    if (modifiers & Qt::AltModifier)
        mask |= XCB_MOD_MASK_1;
    if (modifiers & Qt::MetaModifier)
        mask |= XCB_MOD_MASK_4;
    return mask;
}

QNativeInterface::QX11Application* X11() {
    if (!qGuiApp || QGuiApplication::platformName() != QLatin1String("xcb"))
        return nullptr;
    return qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
}

xcb_window_t RootOf(xcb_connection_t* connection) {
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    return screen ? screen->root : 0;
}

} // namespace

GlobalHotKey::GlobalHotKey(QObject* parent) : QObject(parent) {}

GlobalHotKey::~GlobalHotKey() {
    Unregister();
}

bool GlobalHotKey::Register(Qt::KeyboardModifiers modifiers, Qt::Key key) {
    Unregister();
    QNativeInterface::QX11Application* x11 = X11();
    if (!x11 || !x11->display() || !x11->connection())
        return false;
    const KeySym symbol = KeySymOf(key);
    if (symbol == NoSymbol)
        return false;
    const KeyCode code = XKeysymToKeycode(x11->display(), symbol);
    xcb_connection_t* connection = x11->connection();
    const xcb_window_t root = RootOf(connection);
    if (code == 0 || root == 0)
        return false;

    const unsigned int mask = ModifierMask(modifiers);
    bool grabbed = true;
    for (unsigned int variant : kLockVariants) {
        // Checked requests: another program holding the combination answers BadAccess here.
        const xcb_void_cookie_t cookie =
            xcb_grab_key_checked(connection, 0, root, static_cast<uint16_t>(mask | variant), code,
                                 XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
        if (xcb_generic_error_t* error = xcb_request_check(connection, cookie)) {
            free(error);
            grabbed = false;
        }
    }
    if (!grabbed) {
        for (unsigned int variant : kLockVariants)
            xcb_ungrab_key(connection, code, root, static_cast<uint16_t>(mask | variant));
        xcb_flush(connection);
        return false;
    }
    keyCode_ = code;
    modifierMask_ = mask;
    QCoreApplication::instance()->installNativeEventFilter(this);
    return true;
}

void GlobalHotKey::Unregister() {
    if (keyCode_ == 0)
        return;
    if (QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(this);
    if (QNativeInterface::QX11Application* x11 = X11()) {
        if (xcb_connection_t* connection = x11->connection()) {
            const xcb_window_t root = RootOf(connection);
            for (unsigned int variant : kLockVariants)
                xcb_ungrab_key(connection, static_cast<xcb_keycode_t>(keyCode_), root,
                               static_cast<uint16_t>(modifierMask_ | variant));
            xcb_flush(connection);
        }
    }
    keyCode_ = 0;
    modifierMask_ = 0;
}

bool GlobalHotKey::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (keyCode_ == 0 || eventType != "xcb_generic_event_t")
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) != XCB_KEY_PRESS)
        return false;
    const auto* press = static_cast<const xcb_key_press_event_t*>(message);
    if (press->detail != keyCode_ || (press->state & kComparedModifiers) != modifierMask_)
        return false;
    Q_EMIT Activated();
    return true;
}

} // namespace platform
