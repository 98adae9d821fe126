// vemo-admin: sets up account sets and cfg.ini for the client, without a display.
#include "AdminCommands.h"
#include "PlayRunner.h"

#include <QApplication>
#include <QCoreApplication>

#include <cstring>

int main(int argc, char** argv) {
    // `play` runs the client's form engine, which needs widgets: on the offscreen platform, so
    // that it runs the same with or without a display.
    if (argc > 1 && std::strcmp(argv[1], "play") == 0) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        QuietPlayPlatformNotes();
        QApplication app(argc, argv);
        return RunAdminCommand(app.arguments().mid(1));
    }
    QCoreApplication app(argc, argv);
    return RunAdminCommand(app.arguments().mid(1));
}
