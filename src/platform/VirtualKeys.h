#pragma once
// Windows virtual-key codes, as form definitions name keys, and the X key symbols they stand
// for: one table, read both by the key commands and by their tests.

namespace platform {

// The X key symbol of virtual-key code `code`; 0 when the code names no key we know.
unsigned long KeySymOfVirtualKey(int code);

} // namespace platform
