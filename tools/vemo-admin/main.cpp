// vemo-admin: sets up account sets and cfg.ini for the client, without a display.
#include "AdminCommands.h"

#include <QCoreApplication>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    return RunAdminCommand(app.arguments().mid(1));
}
