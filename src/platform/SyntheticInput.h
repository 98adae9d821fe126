#pragma once
// Pointer buttons and keys pressed as if by the user, through the X server's XTest extension, so
// that they reach whatever window is under the pointer or has the focus, ours or another
// program's. Without an X11 display with XTest (offscreen, Wayland) nothing is sent and every
// call returns false.
#include <QString>

namespace platform {

enum class MouseButton { Left = 1, Right = 3 };

bool SyntheticInputAvailable();

// A button down or up at the pointer's position.
bool SendButton(MouseButton button, bool down);
// A key down or up by its X key symbol.
bool SendKey(unsigned long keysym, bool down);
// Types `text` character by character, whatever the keyboard layout holds: each character is
// mapped for a moment onto a key code the keyboard leaves unused.
bool TypeText(const QString& text);

// Waits until the X server has handled what was sent and lets this program's windows take the
// events that arrived meanwhile, so that the next command sees their effect.
void SettleInput();

} // namespace platform
