#pragma once
// The pop-up choices a command asks of the user: a context menu at the pointer and a file-open
// dialog. The client shows the toolkit's own; scripted runs and tests install a chooser that
// answers instead, so that nothing waits on a person.
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class QMenu;
class QAction;

// Shows `menu` at the mouse pointer and returns the chosen item; nullptr when dismissed.
QAction* ChooseFromMenu(QMenu& menu);
using MenuChooser = std::function<QAction*(QMenu&)>;
// Replaces the chooser; returns the previous one. An empty chooser restores the real menu.
MenuChooser SetMenuChooser(MenuChooser chooser);

// Asks for an existing file to open; no value when the user cancels. `filters` are the
// dialog's name filters, such as "Txt Files(*.txt)".
std::optional<QString> ChooseFileToOpen(const QString& title, const QStringList& filters);
using FileChooser = std::function<std::optional<QString>(const QString&, const QStringList&)>;
FileChooser SetFileChooser(FileChooser chooser);
