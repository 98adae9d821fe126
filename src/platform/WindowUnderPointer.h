#pragma once
// The X window under the pointer, as other applications show it: the innermost window on the
// way down from the root to the pointer that has a name (its title).
#include <QString>

// The window's name; empty when the pointer is over no named window or there is no X11 display.
QString PointerWindowName();
// Renames that window; false when there is none or no X11 display.
bool SetPointerWindowName(const QString& name);
