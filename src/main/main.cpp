// The client: start-up, then (when start-up lets it) the user's session, then the exit sequence.
#include "app/Application.h"
#include "app/ChineseInterface.h"
#include "app/CommandFamilies.h"
#include "app/MainWindow.h"
#include "app/MessageBoxes.h"
#include "commands/CommandTable.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    const ChineseInterface chinese;
    QApplication::setWindowIcon(ApplicationIcon());

    InstallMessageBoxes();
    RegisterAllCommands();
    Application& app = Application::Instance();
    app.InitInstance();
    app.ExitInstance();
    return 0;
}
