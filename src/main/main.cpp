// The client: start-up, then (when start-up lets it) the user's session, then the exit sequence.
#include "app/CVozerDlg.h"
#include "app/ChineseInterface.h"
#include "app/CommandFamilies.h"
#include "app/MainApp.h"
#include "app/MessageBoxes.h"
#include "commands/CommandTable.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    const ChineseInterface chinese;
    QApplication::setWindowIcon(ApplicationIcon());

    InstallMessageBoxes();
    RegisterAllCommands();
    CMainApp& app = CMainApp::Instance();
    app.InitInstance();
    app.ExitInstance();
    return 0;
}
