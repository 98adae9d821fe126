#include "app/StartScreen.h"

#include "app/MainWindow.h"

void RunMainWindow(Application&) {
    MainWindow window;
    window.RunUntilClosed();
}
