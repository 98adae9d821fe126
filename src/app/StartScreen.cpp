#include "app/StartScreen.h"

#include "app/CVozerDlg.h"

void RunMainWindow(CMainApp&) {
    CVozerDlg window;
    window.RunUntilClosed();
}
