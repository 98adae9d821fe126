// The client: start-up, then (when start-up lets it) the user's session, then the exit sequence.
#include "app/MainApp.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    CMainApp& app = CMainApp::Instance();
    app.InitInstance();
    app.ExitInstance();
    return 0;
}
