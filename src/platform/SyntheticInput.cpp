#include "platform/SyntheticInput.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QLibrary>
#include <QThread>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace platform {

namespace {

Display* DisplayOfApp() {
    if (!qGuiApp || QGuiApplication::platformName() != QLatin1String("xcb"))
        return nullptr;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->display() : nullptr;
}

// libXtst, loaded when a script first presses a button or key rather than with the client: it
// brings libXext, which starting the client and logging in never use.
struct XTestLibrary {
    decltype(&::XTestQueryExtension) queryExtension = nullptr;
    decltype(&::XTestFakeButtonEvent) fakeButtonEvent = nullptr;
    decltype(&::XTestFakeKeyEvent) fakeKeyEvent = nullptr;
};

XTestLibrary LoadXTest() {
    XTestLibrary api;
    // Kept loaded for the life of the process: the pointers point into it.
    static QLibrary library(QStringLiteral("Xtst"), 6);
    if (!library.load())
        return api;
    api.queryExtension =
        reinterpret_cast<decltype(api.queryExtension)>(library.resolve("XTestQueryExtension"));
    api.fakeButtonEvent =
        reinterpret_cast<decltype(api.fakeButtonEvent)>(library.resolve("XTestFakeButtonEvent"));
    api.fakeKeyEvent =
        reinterpret_cast<decltype(api.fakeKeyEvent)>(library.resolve("XTestFakeKeyEvent"));
    if (!api.queryExtension || !api.fakeButtonEvent || !api.fakeKeyEvent)
        return {};
    return api;
}

// Loaded once for the process (thread-safe); nullptr without the library, which then counts as a
// display without the extension.
const XTestLibrary* XTest() {
    static const XTestLibrary loaded = LoadXTest();
    return loaded.queryExtension ? &loaded : nullptr;
}

Display* XTestDisplay() {
    Display* display = DisplayOfApp();
    if (!display)
        return nullptr;
    const XTestLibrary* const xtest = XTest();
    if (!xtest)
        return nullptr;
    int event = 0;
    int error = 0;
    int major = 0;
    int minor = 0;
    return xtest->queryExtension(display, &event, &error, &major, &minor) ? display : nullptr;
}

// A key code with no symbol on it, borrowed to type characters the layout lacks.
KeyCode SpareKeyCode(Display* display) {
    int low = 0;
    int high = 0;
    XDisplayKeycodes(display, &low, &high);
    int perCode = 0;
    KeySym* map = XGetKeyboardMapping(display, KeyCode(low), high - low + 1, &perCode);
    KeyCode spare = 0;
    for (int code = high; code >= low && !spare; --code) {
        bool empty = true;
        for (int k = 0; k < perCode; ++k)
            empty = empty && map[(code - low) * perCode + k] == NoSymbol;
        if (empty)
            spare = KeyCode(code);
    }
    XFree(map);
    return spare;
}

KeySym KeySymOfCharacter(char32_t c) {
    if (c == U'\n' || c == U'\r')
        return XK_Return;
    if (c == U'\t')
        return XK_Tab;
    if ((c >= 0x20 && c <= 0x7E) || (c >= 0xA0 && c <= 0xFF))
        return KeySym(c);
    return KeySym(0x01000000 | c);
}

} // namespace

bool SyntheticInputAvailable() {
    return XTestDisplay() != nullptr;
}

bool SendButton(MouseButton button, bool down) {
    Display* display = XTestDisplay();
    if (!display)
        return false;
    XTest()->fakeButtonEvent(display, static_cast<unsigned int>(button), down ? True : False,
                             CurrentTime);
    XFlush(display);
    return true;
}

bool SendKey(unsigned long keysym, bool down) {
    Display* display = XTestDisplay();
    if (!display || !keysym)
        return false;
    const KeyCode code = XKeysymToKeycode(display, keysym);
    if (!code)
        return false;
    XTest()->fakeKeyEvent(display, code, down ? True : False, CurrentTime);
    XFlush(display);
    return true;
}

bool TypeText(const QString& text) {
    Display* display = XTestDisplay();
    if (!display)
        return false;
    const KeyCode spare = SpareKeyCode(display);
    if (!spare)
        return false;
    for (char32_t c : text.toUcs4()) {
        // The symbol on both levels, so that a held Shift does not change it.
        KeySym symbols[2] = {KeySymOfCharacter(c), KeySymOfCharacter(c)};
        XChangeKeyboardMapping(display, spare, 2, symbols, 1);
        XSync(display, False);
        XTest()->fakeKeyEvent(display, spare, True, CurrentTime);
        XTest()->fakeKeyEvent(display, spare, False, CurrentTime);
        XSync(display, False);
        // The program reading the key must have seen it with this mapping before the next.
        SettleInput();
    }
    KeySym none[2] = {NoSymbol, NoSymbol};
    XChangeKeyboardMapping(display, spare, 2, none, 1);
    XSync(display, False);
    return true;
}

void SettleInput() {
    if (Display* display = DisplayOfApp())
        XSync(display, False);
    // Events travel from the server to the application's connection asynchronously: give them
    // a few short rounds to arrive and be delivered.
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 30) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(2);
    }
}

} // namespace platform
