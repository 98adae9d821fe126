#pragma once
// The online help of the update site, opened in the desktop's browser from the login dialog
// and the main window.
#include <QString>

class QWidget;

// The address of the help page for `section` ("login", "dh" for the main window).
QString HelpPageAddress(const QString& section);

// Opens the help page of `section` in the browser; where no browser opens it, a message over
// `owner` names the address to open by hand, so the click never passes in silence.
void OpenHelpPage(const QString& section, QWidget* owner);
