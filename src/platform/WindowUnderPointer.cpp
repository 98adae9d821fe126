#include "platform/WindowUnderPointer.h"

#include "platform/Pointer.h"

#include <QGuiApplication>

#include <optional>

// X11 headers come last: their macros (None, Bool, KeyPress...) would clash with Qt's names.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

Display* X11Display() {
    if (!PointerAvailable())
        return nullptr;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->display() : nullptr;
}

std::optional<QByteArray> Utf8Property(Display* display, Window window, Atom property) {
    const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, window, property, 0, 4096, False, utf8, &type, &format, &count,
                           &after, &data) != Success)
        return std::nullopt;
    std::optional<QByteArray> value;
    if (type == utf8 && format == 8)
        value = QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(count));
    if (data)
        XFree(data);
    return value;
}

// The title a window manager would show: the UTF-8 _NET_WM_NAME, else WM_NAME in whichever
// encoding it was stored. None for a window without a name.
std::optional<QString> WindowName(Display* display, Window window) {
    if (const auto name =
            Utf8Property(display, window, XInternAtom(display, "_NET_WM_NAME", False)))
        return QString::fromUtf8(*name);
    XTextProperty property{};
    if (!XGetWMName(display, window, &property) || !property.value)
        return std::nullopt;
    QString name;
    if (property.encoding == XA_STRING) {
        name = QString::fromLatin1(reinterpret_cast<const char*>(property.value),
                                   static_cast<qsizetype>(property.nitems));
    } else {
        char** list = nullptr;
        int count = 0;
        if (Xutf8TextPropertyToTextList(display, &property, &list, &count) >= Success && list) {
            if (count > 0)
                name = QString::fromUtf8(list[0]);
            XFreeStringList(list);
        }
    }
    XFree(property.value);
    return name;
}

// The innermost named window on the way from the root down to the pointer; 0 for none.
Window NamedWindowUnderPointer(Display* display) {
    Window current = DefaultRootWindow(display);
    Window named = 0;
    // Window trees are shallow; the bound only guards against a tree that changes meanwhile.
    for (int depth = 0; depth < 64; ++depth) {
        Window root = 0, child = 0;
        int rootX = 0, rootY = 0, x = 0, y = 0;
        unsigned int buttons = 0;
        if (!XQueryPointer(display, current, &root, &child, &rootX, &rootY, &x, &y, &buttons) ||
            child == 0)
            break;
        current = child;
        if (WindowName(display, current))
            named = current;
    }
    return named;
}

} // namespace

QString PointerWindowName() {
    Display* display = X11Display();
    if (!display)
        return {};
    const Window window = NamedWindowUnderPointer(display);
    return window ? WindowName(display, window).value_or(QString()) : QString();
}

bool SetPointerWindowName(const QString& name) {
    Display* display = X11Display();
    if (!display)
        return false;
    const Window window = NamedWindowUnderPointer(display);
    if (!window)
        return false;
    const QByteArray bytes = name.toUtf8();
    const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.constData());
    XChangeProperty(display, window, XInternAtom(display, "_NET_WM_NAME", False), utf8, 8,
                    PropModeReplace, data, static_cast<int>(bytes.size()));
    XChangeProperty(display, window, XA_WM_NAME, utf8, 8, PropModeReplace, data,
                    static_cast<int>(bytes.size()));
    XSync(display, False);
    return true;
}
