// The start-up reference: the smallest Qt program that shows one dialog. With
// VEMO_EXIT_WHEN_SHOWN set it ends the way the client's login dialog does, as soon as the
// event loop runs with the dialog shown.
#include "ExitWhenShown.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QDialog dialog;
    dialog.setWindowTitle(QStringLiteral("Vemo"));
    dialog.resize(420, 300);
    // With --label the dialog shows one line of text, so the font system starts as well.
    if (QApplication::arguments().contains(QStringLiteral("--label")))
        (new QLabel(QStringLiteral("用户名："), &dialog))->move(48, 120);
    if (qEnvironmentVariableIsSet("VEMO_EXIT_WHEN_SHOWN"))
        dialog.installEventFilter(new bench::ExitWhenShown(&dialog));
    return dialog.exec() == QDialog::Accepted ? 0 : 1;
}
