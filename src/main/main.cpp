// The client: start-up, then (when start-up lets it) the user's session, then the exit sequence.
#include "app/CVozerDlg.h"
#include "app/MainApp.h"
#include "app/MessageBoxes.h"
#include "commands/CommandTable.h"
#include "chart/ChartCommands.h"
#include "print/PrintCommands.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    // The whole interface is Chinese, the standard buttons and dialogs of Qt included.
    QTranslator qtTexts;
    if (qtTexts.load(QStringLiteral("qtbase_zh_CN"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        application.installTranslator(&qtTexts);
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
