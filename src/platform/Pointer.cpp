#include "platform/Pointer.h"

#include <QCursor>
#include <QGuiApplication>

const QString kNoX11Display = QStringLiteral("没有 X11 显示，不能操作鼠标和键盘");

bool PointerAvailable() {
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

QPoint PointerPosition() {
    return PointerAvailable() ? QCursor::pos() : QPoint();
}

bool MovePointer(QPoint position) {
    if (!PointerAvailable())
        return false;
    QCursor::setPos(position);
    return true;
}
