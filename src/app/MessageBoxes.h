#pragma once
// The client's message boxes behind the one message function: the toolkit's standard box or the
// system's own MessageBox, as each message asks.

// Makes them the message sink, unless VEMO_HEADLESS_MESSAGES asks for one line per message on
// standard error.
void InstallMessageBoxes();
