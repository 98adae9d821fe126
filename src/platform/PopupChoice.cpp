#include "platform/PopupChoice.h"

#include <QCursor>
#include <QFileDialog>
#include <QMenu>

namespace {

MenuChooser& CurrentMenuChooser() {
    static MenuChooser chooser;
    return chooser;
}

FileChooser& CurrentFileChooser() {
    static FileChooser chooser;
    return chooser;
}

} // namespace

QAction* ChooseFromMenu(QMenu& menu) {
    if (const MenuChooser& chooser = CurrentMenuChooser())
        return chooser(menu);
    return menu.exec(QCursor::pos());
}

MenuChooser SetMenuChooser(MenuChooser chooser) {
    return std::exchange(CurrentMenuChooser(), std::move(chooser));
}

std::optional<QString> ChooseFileToOpen(const QString& title, const QStringList& filters) {
    if (const FileChooser& chooser = CurrentFileChooser())
        return chooser(title, filters);
    QFileDialog dialog(nullptr, title);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(filters);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().first();
}

FileChooser SetFileChooser(FileChooser chooser) {
    return std::exchange(CurrentFileChooser(), std::move(chooser));
}
