// The client: start-up, then (when start-up lets it) the user's session, then the exit sequence.
#include "app/CVozerDlg.h"
#include "app/ChineseInterface.h"
#include "app/MainApp.h"
#include "app/MessageBoxes.h"
#include "chart/ChartCommands.h"
#include "commands/CommandTable.h"
#include "print/PrintCommands.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    const ChineseInterface chinese;
    QApplication::setWindowIcon(ApplicationIcon());

    InstallMessageBoxes();
    RegisterCommandFamilies();
    RegisterPrintCommands();
    RegisterChartCommands();
    CMainApp& app = CMainApp::Instance();
    app.InitInstance();
    app.ExitInstance();
    return 0;
}
