#pragma once
// The desktop's mouse pointer. Moving it needs a real X11 display; elsewhere (offscreen, a
// Wayland session) nothing moves and the caller tells the user once.
#include <QPoint>
#include <QString>

// "没有 X11 显示，不能操作鼠标和键盘": what a pointer or key command reports without X11.
extern const QString kNoX11Display;

bool PointerAvailable();
// The pointer's position in screen pixels; (0,0) without X11.
QPoint PointerPosition();
// Moves the pointer to `position` in screen pixels; false without X11.
bool MovePointer(QPoint position);
